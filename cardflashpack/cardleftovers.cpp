#include "cardleftovers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "cardcopies.h"
#include "packmessages.h"
#include "partitionmap.h"

namespace
{

// Every name a package may write, but the manifest, which it always does.
std::vector<std::string> knownCardPaths()
{
    std::vector<std::string> paths = {PartitionMap::SignatureFileName().c_str(),
                                      PartitionMap::TarBallFileName().c_str()};
    for (const StdString& image : PartitionMap::ImageNames()) {
        paths.push_back(kCardImageFolder + ("/" + image));
    }
    for (const StdString& bootFile : PartitionMap::CardBootSet()) {
        paths.emplace_back(bootFile.c_str());
    }
    return paths;
}

// Only what a package writes is taken: a regular file. A folder or a link
// under a package's name is no package's.
bool isRegularFile(const std::string& path)
{
    struct stat status {
    };
    return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

CardLeftovers::CardLeftovers(std::string cardDir) : m_cardDir(std::move(cardDir)) {}

bool CardLeftovers::collect(const std::vector<std::string>& kept, std::string& error)
{
    for (const std::string& cardPath : knownCardPaths()) {
        if (std::find(kept.begin(), kept.end(), cardPath) == kept.end() &&
            isRegularFile(m_cardDir + "/" + cardPath) && !reserve(cardPath, error)) {
            return false;
        }
    }
    return true;
}

// The place is reserved by a temporary file that stays empty: the file set
// aside takes a name beside it that no other file has.
bool CardLeftovers::reserve(const std::string& cardPath, std::string& error)
{
    const std::size_t separator = cardPath.rfind('/');
    const std::string folder =
        separator == std::string::npos ? std::string() : "/" + cardPath.substr(0, separator);
    m_files.push_back(
        std::make_unique<AtomicFile>(m_cardDir + folder, cardPath.substr(separator + 1)));
    if (!m_files.back()->open() || !m_files.back()->finish()) {
        error = m_files.back()->finalPath() + packmessages::kWriteFailed + std::strerror(errno);
        return false;
    }
    if (!folder.empty() && std::find(m_emptiedFolders.begin(), m_emptiedFolders.end(),
                                     m_cardDir + folder) == m_emptiedFolders.end()) {
        m_emptiedFolders.push_back(m_cardDir + folder);
    }
    return true;
}

std::vector<AtomicFile*> CardLeftovers::files() const
{
    std::vector<AtomicFile*> files;
    for (const auto& file : m_files) {
        files.push_back(file.get());
    }
    return files;
}

void CardLeftovers::finish()
{
    m_files.clear();
    for (const std::string& folder : m_emptiedFolders) {
        (void)::rmdir(folder.c_str());
    }
}
