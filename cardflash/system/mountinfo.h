#ifndef MOUNTINFO_H
#define MOUNTINFO_H

#include <string>
#include <vector>

// One line of the kernel's table of this process's mounts
// (/proc/self/mountinfo): which file system is mounted where, from what,
// and with which options, hidden mounts included.
struct MountedFileSystem {
    unsigned long id = 0;
    unsigned long major = 0;
    unsigned long minor = 0;
    std::string mountPoint;
    std::string mountOptions;
    std::string source;
    std::string superOptions;

    // The file system itself is read-only (no writes, no garbage collection).
    bool isReadOnly() const;
    // The mount's own flags (nosuid, nodev, noexec, the access times) as
    // mount(2) takes them.
    unsigned long mountFlags() const;
};

class MountInfo
{
public:
    // False when the table cannot be read or a line of it makes no sense.
    [[nodiscard]] static bool Read(std::vector<MountedFileSystem>& mounts);
    // Whether the mount's path leads to that very file system, not to
    // another one mounted over it or over a folder above it.
    [[nodiscard]] static bool Reaches(const MountedFileSystem& mounted);
    // Remounts the file system at the path, read-only or read-write, with
    // these flags of its own.
    [[nodiscard]] static bool Remount(const std::string& mountPoint, bool readOnly,
                                      unsigned long flags);
};

#endif
