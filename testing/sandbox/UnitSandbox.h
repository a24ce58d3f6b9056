#ifndef UNITSANDBOX_H
#define UNITSANDBOX_H

#include <cstddef>
#include <string>
#include <vector>

// What one command run in the sandboxed unit left behind.
struct SandboxResult {
    int exitStatus = -1; // 128 + signal number when the command was killed
    std::string out;     // its standard output
    std::string err;     // its standard error
    std::string log;     // the stand-in MTD utilities' lines of this run
};

// A private temp folder holding a card (sd/), the images folder (images/)
// and the nine flash partitions (mtd/mtd0..mtd8, erased, partitionSize
// bytes each), and a way to run commands in the sandboxed unit that sees
// them as /mnt/sd-card, /images and /dev/mtdN. The folder is removed when
// the object goes.
class UnitSandbox
{
public:
    static constexpr std::size_t kDefaultPartitionSize = 1024 * 1024;

    explicit UnitSandbox(std::size_t partitionSize = kDefaultPartitionSize);
    ~UnitSandbox();
    UnitSandbox(const UnitSandbox&) = delete;
    UnitSandbox& operator=(const UnitSandbox&) = delete;

    const std::string& root() const { return m_root; }
    std::string sdDir() const { return m_root + "/sd"; }
    std::string imagesDir() const { return m_root + "/images"; }
    std::string mtdDir() const { return m_root + "/mtd"; }
    std::string logFile() const { return m_root + "/mtd.log"; }
    std::string partitionFile(int index) const;

    // Paths are relative to the card, the images folder or the temp folder;
    // missing parent folders are created.
    void writeSdFile(const std::string& name, const std::string& contents) const;
    void writeImage(const std::string& name, const std::string& contents) const;
    void writeFile(const std::string& relativePath, const std::string& contents) const;

    std::string readPartition(int index) const;
    void writePartition(int index, const std::string& contents) const;

    // Runs `command` (argv, no shell) in the sandbox with the card, images,
    // partitions and log of this object plus the unit-sandbox `options`,
    // e.g. {"--card", "mounted", "--fail", "flashcp"}. The log is emptied
    // before each run.
    SandboxResult run(const std::vector<std::string>& options,
                      const std::vector<std::string>& command) const;
    // The same for a shell command line (sh -c).
    SandboxResult runShell(const std::vector<std::string>& options,
                           const std::string& script) const;

    // Helpers for any test: whole-file read and write on the host.
    static std::string readFile(const std::string& path);
    static void writeFileAt(const std::string& path, const std::string& contents);

private:
    std::string m_root;
};

#endif
