#include "tarballwriter.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "packmessages.h"

namespace
{

const char* const kOwnerName = "root";
const la_int64_t kOwnerId = 0;
// Every entry carries this time: the tree's own times differ from one
// checkout to the next.
const time_t kFixedTime = 0;
const std::size_t kBlockSize = std::size_t{64} * 1024;
const mode_t kPermissionBits = 07777;
// A build machine's setuid file must not become a root-owned setuid file on
// the unit, nor an existing folder there one that anybody may write to.
const mode_t kClearedBits = S_ISUID | S_ISGID | S_IWOTH;
// What every tree of the unit's root holds at its top.
const char* const kRootFolders[] = {"usr", "etc"};

// Releases a libarchive writer.
struct ArchiveWriterFree {
    void operator()(archive* writer) const { (void)archive_write_free(writer); }
};
struct ArchiveEntryFree {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

std::string archiveError(archive* tarBall)
{
    const char* text = archive_error_string(tarBall);
    return text != nullptr ? text : "";
}

} // namespace

TarBallWriter::TarBallWriter(std::string rootDir, bool keepModes)
    : m_rootDir(std::move(rootDir)), m_keepModes(keepModes)
{
}

bool TarBallWriter::collect(std::string& error)
{
    m_entries.clear();
    std::error_code failure;
    const std::filesystem::path root(m_rootDir);
    if (!std::filesystem::is_directory(root, failure)) {
        error = m_rootDir + packmessages::kRootNotFolder;
        return false;
    }
    std::filesystem::recursive_directory_iterator walk(root, failure);
    for (; !failure && walk != std::filesystem::recursive_directory_iterator();
         walk.increment(failure)) {
        if (!addEntry(walk->path().lexically_relative(root).string(), error)) {
            return false;
        }
    }
    if (failure) {
        error = m_rootDir + packmessages::kRootNotFolder;
        return false;
    }
    if (m_entries.empty()) {
        error = m_rootDir + packmessages::kEmptyTree;
        return false;
    }
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& left, const Entry& right) {
        return left.relativePath < right.relativePath;
    });
    return true;
}

std::size_t TarBallWriter::modesCleared() const
{
    return m_keepModes ? 0
                       : static_cast<std::size_t>(std::count_if(
                             m_entries.begin(), m_entries.end(), [](const Entry& entry) {
                                 return (entry.status.st_mode & kClearedBits) != 0;
                             }));
}

bool TarBallWriter::looksLikeRoot() const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [](const Entry& entry) {
        return S_ISDIR(entry.status.st_mode) &&
               std::find(std::begin(kRootFolders), std::end(kRootFolders), entry.relativePath) !=
                   std::end(kRootFolders);
    });
}

mode_t TarBallWriter::permissionsOf(const Entry& entry) const
{
    const mode_t permissions = entry.status.st_mode & kPermissionBits;
    return m_keepModes ? permissions : permissions & ~kClearedBits;
}

bool TarBallWriter::addEntry(const std::string& relativePath, std::string& error)
{
    Entry entry{relativePath, {}, {}};
    const std::string path = m_rootDir + "/" + relativePath;
    bool packable = ::lstat(path.c_str(), &entry.status) == 0;
    if (packable && S_ISLNK(entry.status.st_mode)) {
        std::error_code failure;
        entry.linkTarget = std::filesystem::read_symlink(path, failure).string();
        packable = !failure;
    } else if (packable && S_ISREG(entry.status.st_mode)) {
        packable = ::access(path.c_str(), R_OK) == 0;
    } else {
        packable = packable && S_ISDIR(entry.status.st_mode);
    }
    if (!packable) {
        error = path + packmessages::kTreeEntryRefused;
        return false;
    }
    m_entries.push_back(entry);
    return true;
}

bool TarBallWriter::write(int descriptor, std::string& error) const
{
    const std::unique_ptr<archive, ArchiveWriterFree> tarBall(archive_write_new());
    // No time stamp in the gzip header either.
    if (!tarBall || archive_write_add_filter_gzip(tarBall.get()) != ARCHIVE_OK ||
        archive_write_set_filter_option(tarBall.get(), "gzip", "timestamp", nullptr) !=
            ARCHIVE_OK ||
        archive_write_set_format_pax_restricted(tarBall.get()) != ARCHIVE_OK ||
        archive_write_open_fd(tarBall.get(), descriptor) != ARCHIVE_OK) {
        error = tarBall ? archiveError(tarBall.get()) : std::string();
        return false;
    }
    for (const Entry& entry : m_entries) {
        if (!writeEntry(tarBall.get(), entry, error)) {
            return false;
        }
    }
    if (archive_write_close(tarBall.get()) != ARCHIVE_OK) {
        error = archiveError(tarBall.get());
        return false;
    }
    return true;
}

bool TarBallWriter::writeEntry(archive* tarBall, const Entry& entry, std::string& error) const
{
    const std::unique_ptr<archive_entry, ArchiveEntryFree> header(archive_entry_new());
    if (!header) {
        return false;
    }
    const bool isFile = S_ISREG(entry.status.st_mode);
    archive_entry_set_pathname(header.get(), entry.relativePath.c_str());
    archive_entry_set_filetype(header.get(), entry.status.st_mode & S_IFMT);
    archive_entry_set_perm(header.get(), permissionsOf(entry));
    archive_entry_set_size(header.get(), isFile ? entry.status.st_size : 0);
    archive_entry_set_uid(header.get(), kOwnerId);
    archive_entry_set_gid(header.get(), kOwnerId);
    archive_entry_set_uname(header.get(), kOwnerName);
    archive_entry_set_gname(header.get(), kOwnerName);
    archive_entry_set_mtime(header.get(), kFixedTime, 0);
    if (S_ISLNK(entry.status.st_mode)) {
        archive_entry_set_symlink(header.get(), entry.linkTarget.c_str());
    }
    if (archive_write_header(tarBall, header.get()) != ARCHIVE_OK) {
        error = entry.relativePath + ": " + archiveError(tarBall);
        return false;
    }
    return !isFile || writeContent(tarBall, entry, error);
}

// The size in the header was taken when the tree was walked; a file that
// changed since then is refused rather than packed half old, half new.
bool TarBallWriter::writeContent(archive* tarBall, const Entry& entry, std::string& error) const
{
    std::ifstream input(m_rootDir + "/" + entry.relativePath, std::ios::in | std::ios::binary);
    const std::unique_ptr<char[]> block(new char[kBlockSize]);
    la_int64_t total = 0;
    while (input) {
        input.read(block.get(), static_cast<std::streamsize>(kBlockSize));
        const auto count = static_cast<std::size_t>(input.gcount());
        if (count > 0 &&
            archive_write_data(tarBall, block.get(), count) != static_cast<la_ssize_t>(count)) {
            error = entry.relativePath + ": " + archiveError(tarBall);
            return false;
        }
        total += static_cast<la_int64_t>(count);
    }
    if (input.bad() || total != entry.status.st_size) {
        error = m_rootDir + "/" + entry.relativePath + packmessages::kTreeEntryRefused;
        return false;
    }
    return true;
}
