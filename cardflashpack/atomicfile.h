#ifndef ATOMICFILE_H
#define ATOMICFILE_H

#include <string>

// A file that appears under its name only once it is wholly written: the
// bytes go to a temporary file in the same folder, which commit() renames
// into place. A temporary file that was never committed is removed.
class AtomicFile
{
public:
    AtomicFile(const std::string& folder, const std::string& name);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false when it cannot.
    bool open();
    // The temporary file, for writers that want a descriptor or a path.
    int descriptor() const { return m_descriptor; }
    const std::string& temporaryPath() const { return m_temporaryPath; }
    bool write(const std::string& bytes);
    // Flushes the bytes to the disk and closes the temporary file.
    bool finish();
    bool commit();
    // Whether commit() may put the file in place: nothing, or a regular
    // file, is there under its name.
    bool canReplace() const;

    const std::string& finalPath() const { return m_finalPath; }

private:
    std::string m_finalPath;
    std::string m_temporaryPath;
    int m_descriptor = -1;
    bool m_created = false;
    bool m_committed = false;
};

#endif
