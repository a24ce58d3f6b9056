#include "privatefile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <vector>

namespace
{

const char8* const nameTemplate = "/cardflash-XXXXXX";
const mode_t privateMode = 0600;

} // namespace

PrivateFile::PrivateFile()
    : m_descriptor(-1), m_writeFailed(false), m_room(std::numeric_limits<std::uint64_t>::max())
{
}

PrivateFile::~PrivateFile()
{
    if (m_descriptor >= 0) {
        (void)close(m_descriptor);
    }
}

bool PrivateFile::create(const std::string& folder)
{
    const std::string path = folder + nameTemplate;
    std::vector<char8> name(path.begin(), path.end());
    name.push_back('\0');
    m_descriptor = mkstemp(name.data());
    if (m_descriptor < 0) {
        return false;
    }
    (void)unlink(name.data());
    return true;
}

bool PrivateFile::createAt(const std::string& path)
{
    m_descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, privateMode);
    return m_descriptor >= 0;
}

void PrivateFile::limitTo(std::uint64_t bytes)
{
    m_room = bytes;
}

bool PrivateFile::write(const char8* data, std::size_t length)
{
    if (length > m_room) {
        m_writeFailed = true;
        return false;
    }
    m_room -= length;
    while (length > 0) {
        const ssize_t written = ::write(m_descriptor, data, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            m_writeFailed = true;
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool PrivateFile::writeFailed() const
{
    return m_writeFailed;
}

int PrivateFile::rewound()
{
    if (m_descriptor < 0 || lseek(m_descriptor, 0, SEEK_SET) != 0) {
        return -1;
    }
    return m_descriptor;
}
