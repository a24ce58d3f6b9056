#include "cardcopies.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "filesystem.h"
#include "packmessages.h"
#include "partitionmap.h"
#include "stopsignals.h"

namespace
{

const mode_t kFolderMode = 0755;

bool isRegularFile(const std::string& path)
{
    struct stat status {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isFolder(const std::string& path)
{
    struct stat status {
    };
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string pathIn(const std::string& folder, const std::string& name)
{
    std::string path = folder;
    path += '/';
    path += name;
    return path;
}

// "boot/zImage": the folder and the file's name on the card.
std::pair<std::string, std::string> splitCardPath(const std::string& cardPath)
{
    const std::size_t separator = cardPath.rfind('/');
    return {cardPath.substr(0, separator), cardPath.substr(separator + 1)};
}

} // namespace

CardCopies::CardCopies(const std::string& cardDir) : m_cardDir(cardDir) {}

CardCopies::~CardCopies()
{
    m_files.clear();
    if (!m_kept) {
        const SignalsWait wait;
        for (auto folder = m_madeFolders.rbegin(); folder != m_madeFolders.rend(); ++folder) {
            (void)::rmdir(folder->c_str());
            forgetTemporary(*folder);
        }
    }
}

bool CardCopies::describeBootSet(const std::string& bootSetDir, std::vector<PackedFile>& lines,
                                 std::string& error)
{
    lines.clear();
    for (const StdString& cardPath : PartitionMap::CardBootSet()) {
        const std::string path = pathIn(bootSetDir, splitCardPath(cardPath).second);
        PackedFile line;
        if (!isRegularFile(path) ||
            !describeFile(PartitionMap::BootSetLineName(cardPath), path, line)) {
            error = path + packmessages::kNotReadable + packmessages::kBootSetHolds;
            return false;
        }
        if (line.length == 0) {
            error = path + packmessages::kEmptyBootSetFile;
            return false;
        }
        lines.push_back(line);
    }
    return true;
}

bool CardCopies::copyImages(std::vector<PackedFile>& images, std::string& error)
{
    for (PackedFile& image : images) {
        if (!copy(kCardImageFolder, image.name, image.path, error) ||
            !describeCopy(image.name, image, error)) {
            return false;
        }
    }
    return true;
}

bool CardCopies::copyBootSet(const std::string& bootSetDir, std::vector<PackedFile>& lines,
                             std::string& error)
{
    lines.clear();
    for (const StdString& cardPath : PartitionMap::CardBootSet()) {
        const auto place = splitCardPath(cardPath);
        lines.emplace_back();
        if (!copy(place.first, place.second, pathIn(bootSetDir, place.second), error) ||
            !describeCopy(PartitionMap::BootSetLineName(cardPath), lines.back(), error)) {
            return false;
        }
    }
    return true;
}

// The manifest describes the bytes on the card, whatever the source file
// did while it was read.
bool CardCopies::describeCopy(std::string name, PackedFile& file, std::string& error)
{
    const AtomicFile& copied = *m_files.back();
    if (!describeFile(name, copied.temporaryPath(), file)) {
        error = copied.finalPath() + packmessages::kWriteFailed + std::strerror(errno);
        return false;
    }
    return true;
}

std::vector<AtomicFile*> CardCopies::files() const
{
    std::vector<AtomicFile*> files;
    for (const auto& file : m_files) {
        files.push_back(file.get());
    }
    return files;
}

void CardCopies::keep()
{
    m_kept = true;
    const SignalsWait wait;
    for (const std::string& folder : m_madeFolders) {
        forgetTemporary(folder);
    }
}

bool CardCopies::copy(const std::string& folder, const std::string& name, const std::string& from,
                      std::string& error)
{
    const std::string folderPath = pathIn(m_cardDir, folder);
    if (!makeFolder(folderPath, error)) {
        return false;
    }
    m_files.push_back(std::make_unique<AtomicFile>(folderPath, name));
    AtomicFile& file = *m_files.back();
    std::string bytes;
    FileSystem fileSystem;
    if (!fileSystem.readFileBytes(from, std::string().max_size(), bytes) || !file.open() ||
        !file.write(bytes) || !file.finish()) {
        error = file.finalPath() + packmessages::kWriteFailed + std::strerror(errno);
        return false;
    }
    return true;
}

bool CardCopies::makeFolder(const std::string& folder, std::string& error)
{
    if (isFolder(folder)) {
        return true;
    }
    const SignalsWait wait;
    if (::mkdir(folder.c_str(), kFolderMode) != 0) {
        error = folder + packmessages::kWriteFailed + std::strerror(errno);
        return false;
    }
    m_madeFolders.push_back(folder);
    addTemporary(folder);
    return true;
}
