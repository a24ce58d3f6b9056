#ifndef PRIVATEFILE_H
#define PRIVATEFILE_H

#include <cstddef>
#include <string>

#include "lumo_common.h"

// A file without a name: made in a folder and unlinked at once, so that no
// other program can open it, and it is gone when it is closed, however the
// tool ends. The tool's one place that writes through a descriptor.
class PrivateFile
{
public:
    PrivateFile();
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    bool create(const std::string& folder);
    // All of the bytes, or false (the folder is full).
    bool write(const char8* data, std::size_t length);
    bool writeFailed() const;
    // The descriptor, at the file's start; -1 when there is no file.
    int rewound();

private:
    int m_descriptor;
    bool m_writeFailed;
};

#endif
