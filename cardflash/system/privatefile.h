#ifndef PRIVATEFILE_H
#define PRIVATEFILE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "lumo_common.h"

// A file of this tool's own, the tool's one place that writes through a
// descriptor. One made by `create` has no name: it is unlinked at once, so
// that no other program can open it, and it is gone when it is closed,
// however the tool ends. One made by `createAt` keeps its name, in a folder
// of the tool's own, for a program that the tool starts to read.
class PrivateFile
{
public:
    PrivateFile();
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    [[nodiscard]] bool create(const std::string& folder);
    [[nodiscard]] bool createAt(const std::string& path);
    // Writes that would take the file past `bytes` fail, as in a full folder.
    void limitTo(std::uint64_t bytes);
    // All of the bytes, or false (the folder is full).
    [[nodiscard]] bool write(const char8* data, std::size_t length);
    bool writeFailed() const;
    // The descriptor, at the file's start; -1 when there is no file.
    int rewound();

private:
    int m_descriptor;
    bool m_writeFailed;
    std::uint64_t m_room;
};

#endif
