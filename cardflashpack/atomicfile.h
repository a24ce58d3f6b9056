#ifndef ATOMICFILE_H
#define ATOMICFILE_H

#include <string>

// A file that appears under its name only once it is wholly written: the
// bytes go to a temporary file in the same folder, which commit() renames
// into place. What was there under the name is kept aside, under a hidden
// name, until drop() forgets it or putBack() restores it. A temporary file
// that was never committed is removed, on a stop signal too.
class AtomicFile
{
public:
    AtomicFile(const std::string& folder, const std::string& name);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false when it cannot.
    [[nodiscard]] bool open();
    // The temporary file, for writers that want a descriptor or a path.
    int descriptor() const { return m_descriptor; }
    const std::string& temporaryPath() const { return m_temporaryPath; }
    [[nodiscard]] bool write(const std::string& bytes);
    // Flushes the bytes to the disk and closes the temporary file.
    [[nodiscard]] bool finish();
    [[nodiscard]] bool commit();
    // Takes what is under the name aside, for a package that has no such
    // file (its temporary file, made and left empty, only reserves a name);
    // true when nothing is there.
    [[nodiscard]] bool withdraw();
    // False when what was set aside could not be put back: it stays under
    // asidePath().
    [[nodiscard]] bool putBack();
    const std::string& asidePath() const;
    void drop();
    // Whether commit() may put the file in place: nothing, or a regular
    // file, is there under its name.
    bool canReplace() const;

    const std::string& finalPath() const { return m_finalPath; }

private:
    bool setAside();

    std::string m_finalPath;
    std::string m_temporaryPath;
    std::string m_asidePath;
    int m_descriptor = -1;
    bool m_created = false;
    bool m_committed = false;
    bool m_setAside = false;
};

#endif
