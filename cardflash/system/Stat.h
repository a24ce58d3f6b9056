#ifndef STAT_H
#define STAT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

// Boolean questions about a path's file status. The object keeps a path of
// its own, which stands in for every argument shorter than
// m_minimumPathLength, and the status record of its last query.
class Stat
{
public:
    Stat();
    explicit Stat(const std::string& path);
    Stat(const Stat& other);
    Stat operator=(const Stat& rhs);
    ~Stat();

    bool stat(const std::string& path);
    bool lstat(const std::string& path);
    bool fstat(int fd);
    // The size that the last successful call found.
    std::uint64_t size() const;

    bool isBlockDevice(const std::string& path);
    bool isCharacterDevice(const std::string& path);
    bool isDirectory(const std::string& path);
    bool isFifo(const std::string& path);
    bool isRegularFile(const std::string& path);
    bool isSocket(const std::string& path);
    bool isSymbolicLink(const std::string& path);

private:
    // Large-file status record: 64-bit sizes and inode numbers everywhere.
    typedef struct stat64 StatusRecord;
    typedef int (*pfunc)(const char*, StatusRecord*);

    static const size_t m_minimumPathLength = 6;

    bool private_stat(pfunc statusCall, const std::string& path);
    bool hasFileType(pfunc statusCall, const std::string& path, mode_t fileType);

    std::string m_target_path;
    StatusRecord m_target_info;
};

#endif
