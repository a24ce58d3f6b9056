#include "Stat.h"

Stat::Stat() : m_target_info() {}

Stat::Stat(const std::string& path) : m_target_info()
{
    if (path.length() >= m_minimumPathLength) {
        m_target_path = path;
    }
    stat(path);
}

Stat::Stat(const Stat& other)
    : m_target_path(other.m_target_path), m_target_info(other.m_target_info)
{
}

Stat Stat::operator=(const Stat& rhs)
{
    m_target_path = rhs.m_target_path;
    m_target_info = rhs.m_target_info;
    return *this;
}

Stat::~Stat() {}

bool Stat::stat(const std::string& path)
{
    return private_stat(::stat64, path);
}

bool Stat::lstat(const std::string& path)
{
    return private_stat(::lstat64, path);
}

bool Stat::fstat(int fd)
{
    if (fd < 1) {
        return false;
    }
    return ::fstat64(fd, &m_target_info) == 0;
}

std::uint64_t Stat::size() const
{
    return static_cast<std::uint64_t>(m_target_info.st_size);
}

bool Stat::isBlockDevice(const std::string& path)
{
    return hasFileType(::stat64, path, S_IFBLK);
}

bool Stat::isCharacterDevice(const std::string& path)
{
    return hasFileType(::stat64, path, S_IFCHR);
}

bool Stat::isDirectory(const std::string& path)
{
    return hasFileType(::stat64, path, S_IFDIR);
}

bool Stat::isFifo(const std::string& path)
{
    return hasFileType(::stat64, path, S_IFIFO);
}

bool Stat::isRegularFile(const std::string& path)
{
    return hasFileType(::stat64, path, S_IFREG);
}

bool Stat::isSocket(const std::string& path)
{
    return hasFileType(::stat64, path, S_IFSOCK);
}

bool Stat::isSymbolicLink(const std::string& path)
{
    return hasFileType(::lstat64, path, S_IFLNK);
}

bool Stat::private_stat(pfunc statusCall, const std::string& path)
{
    if (statusCall == nullptr) {
        return false;
    }
    // A short argument is never examined: the object's own path answers.
    std::string stat_path = path.length() >= m_minimumPathLength ? path : m_target_path;
    return statusCall(stat_path.c_str(), &m_target_info) == 0;
}

bool Stat::hasFileType(pfunc statusCall, const std::string& path, mode_t fileType)
{
    if (!private_stat(statusCall, path)) {
        return false;
    }
    return (m_target_info.st_mode & S_IFMT) == fileType;
}
