#include "atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "stopsignals.h"

namespace
{

const char* const kTemporarySuffix = ".XXXXXX";
const char* const kAsideSuffix = ".old";
const mode_t kFileMode = 0644;

bool exists(const std::string& path)
{
    struct stat status {
    };
    return ::lstat(path.c_str(), &status) == 0;
}

} // namespace

AtomicFile::AtomicFile(const std::string& folder, const std::string& name)
    : m_finalPath(folder + "/" + name), m_temporaryPath(folder + "/." + name + kTemporarySuffix)
{
}

AtomicFile::~AtomicFile()
{
    if (m_descriptor >= 0) {
        (void)::close(m_descriptor);
    }
    if (m_created && !m_committed) {
        const SignalsWait wait;
        (void)::unlink(m_temporaryPath.c_str());
        forgetTemporary(m_temporaryPath);
    }
}

bool AtomicFile::open()
{
    std::vector<char> pattern(m_temporaryPath.begin(), m_temporaryPath.end());
    pattern.push_back('\0');
    const SignalsWait wait;
    m_descriptor = ::mkstemp(pattern.data());
    if (m_descriptor < 0) {
        return false;
    }
    m_temporaryPath = pattern.data();
    m_asidePath = m_temporaryPath + kAsideSuffix;
    m_created = true;
    addTemporary(m_temporaryPath);
    return ::fchmod(m_descriptor, kFileMode) == 0;
}

bool AtomicFile::write(const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(m_descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            // A write that takes nothing would be tried for ever.
            errno = count == 0 ? ENOSPC : errno;
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

bool AtomicFile::finish()
{
    const bool synced = ::fsync(m_descriptor) == 0;
    const bool closed = ::close(m_descriptor) == 0;
    m_descriptor = -1;
    return synced && closed;
}

bool AtomicFile::canReplace() const
{
    struct stat status {
    };
    if (::lstat(m_finalPath.c_str(), &status) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(status.st_mode);
}

// A rename, not a link, sets the old file aside: the card's FAT file system
// has no links.
bool AtomicFile::setAside()
{
    if (!exists(m_finalPath)) {
        return true;
    }
    m_setAside = std::rename(m_finalPath.c_str(), m_asidePath.c_str()) == 0;
    return m_setAside;
}

bool AtomicFile::commit()
{
    if (!setAside()) {
        return false;
    }
    m_committed = std::rename(m_temporaryPath.c_str(), m_finalPath.c_str()) == 0;
    if (!m_committed) {
        const int reason = errno;
        (void)putBack(); // a file still aside is told by the caller's own put-back
        errno = reason;
        return false;
    }
    forgetTemporary(m_temporaryPath);
    return true;
}

bool AtomicFile::withdraw()
{
    return setAside();
}

bool AtomicFile::putBack()
{
    if (m_committed) {
        (void)::unlink(m_finalPath.c_str());
        m_committed = false;
        m_created = false;
    }
    if (m_setAside) {
        m_setAside = std::rename(m_asidePath.c_str(), m_finalPath.c_str()) != 0;
        return !m_setAside;
    }
    return true;
}

const std::string& AtomicFile::asidePath() const
{
    return m_asidePath;
}

void AtomicFile::drop()
{
    if (m_setAside) {
        (void)::unlink(m_asidePath.c_str());
        m_setAside = false;
    }
}
