#include "filesystem.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <fstream>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "Stat.h"

const char8* const kCannotOpenFileText = "ERROR:CANNOT OPEN FILE";

namespace
{

// The one place that asks for a file system's status; 64-bit counts on
// every ABI.
bool fileSystemStatus(const std::string& path, struct statfs64& info)
{
    return statfs64(path.c_str(), &info) == 0;
}

const char8* const kNoWorkingDirectory = "ERROR";
const std::size_t kWorkingDirectoryBufferSize = 4096;
const std::size_t kReadBlockSize = 4096;

} // namespace

FileSystem::FileSystem() {}

FileSystem::~FileSystem() {}

StdString FileSystem::getCurrentDirectory()
{
    char8 buffer[kWorkingDirectoryBufferSize];
    if (getcwd(buffer, sizeof buffer) == nullptr) {
        return StdString(kNoWorkingDirectory);
    }
    return StdString(buffer);
}

bool FileSystem::setCurrentDirectory(StdString setDirectory)
{
    return chdir(setDirectory.c_str()) == 0;
}

bool FileSystem::fileExists(std::string fileName)
{
    return access(fileName.c_str(), F_OK) == 0;
}

std::string FileSystem::openFile(std::string fileName)
{
    std::ifstream input(fileName);
    if (!input.is_open()) {
        return kCannotOpenFileText;
    }
    std::string returnString;
    std::string line;
    try {
        while (std::getline(input, line)) {
            returnString += line;
        }
    } catch (const std::exception&) {
        // A file too large for memory ends the reading like a read error.
    }
    return returnString;
}

bool FileSystem::readFileBytes(std::string fileName, std::size_t limit, std::string& content)
{
    content.clear();
    std::ifstream input(fileName, std::ios::in | std::ios::binary);
    if (!input.is_open()) {
        return false;
    }
    try {
        // Room for the whole file at once: no doubling of what is held.
        Stat status;
        if (status.stat(fileName)) {
            content.reserve(
                static_cast<std::size_t>(std::min<std::uint64_t>(status.size(), limit)));
        }
        char block[kReadBlockSize];
        while (input) {
            input.read(block, sizeof block);
            const std::size_t count = static_cast<std::size_t>(input.gcount());
            // Nothing past the limit is ever held.
            if (count > limit - content.size()) {
                content.clear();
                return false;
            }
            content.append(block, count);
        }
    } catch (const std::exception&) {
        // A file too large for memory counts as unreadable.
        content.clear();
        return false;
    }
    if (input.bad()) {
        content.clear();
        return false;
    }
    return true;
}

bool FileSystem::readFileStart(const std::string& fileName, std::size_t count, std::string& bytes)
{
    std::ifstream input(fileName, std::ios::in | std::ios::binary);
    bytes.assign(count, '\0');
    input.read(&bytes[0], static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(input.gcount()));
    return input.is_open() && !input.bad();
}

std::string FileSystem::readFirstLine(const std::string& fileName, std::size_t limit)
{
    std::ifstream input(fileName, std::ios::in | std::ios::binary);
    std::string line;
    char8 c = 0;
    while (line.size() < limit && input.get(c) && c != '\n') {
        line += c;
    }
    return line;
}

bool FileSystem::copyFile(const std::string& from, const std::string& to, unsigned int mode)
{
    std::ifstream input(from, std::ios::in | std::ios::binary);
    std::ofstream output(to, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!input.is_open() || !output.is_open()) {
        return false;
    }
    // Read by blocks, each read checked: a stream copy (<< rdbuf()) cannot
    // tell a read error from the end of the file.
    char8 block[kReadBlockSize];
    while (input) {
        input.read(block, sizeof block);
        output.write(block, input.gcount());
    }
    output.close();
    return !input.bad() && input.eof() && !output.fail() && chmod(to.c_str(), mode) == 0;
}

std::string FileSystem::makePrivateDirectory(const std::string& nameTemplate)
{
    std::string name = nameTemplate;
    return mkdtemp(&name[0]) != nullptr ? name : std::string();
}

void FileSystem::removeFile(const std::string& path)
{
    (void)unlink(path.c_str());
}

namespace
{

bool syncPath(const std::string& path, int flags)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (descriptor < 0) {
        return false;
    }
    const bool synced = fsync(descriptor) == 0;
    return close(descriptor) == 0 && synced;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool FileSystem::replaceDurably(const std::string& written, const std::string& path)
{
    return syncPath(written, 0) && rename(written.c_str(), path.c_str()) == 0 &&
           syncPath(folderOf(path), O_DIRECTORY);
}

void FileSystem::removeDirectory(const std::string& directory)
{
    DIR* listing = opendir(directory.c_str());
    if (listing != nullptr) {
        while (const dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                std::string path = directory;
                path += '/';
                path += name;
                (void)unlink(path.c_str());
            }
        }
        closedir(listing);
    }
    (void)rmdir(directory.c_str());
}

bool FileSystem::isInMemory(const std::string& path)
{
    struct statfs64 info {
    };
    if (!fileSystemStatus(path, info)) {
        return false;
    }
    // f_type is signed on some ABIs (armel) and unsigned on others.
    const auto type = static_cast<unsigned long>(info.f_type);
    return type == TMPFS_MAGIC || type == RAMFS_MAGIC;
}

bool FileSystem::freeBytes(const std::string& path, std::uint64_t& bytes)
{
    struct statfs64 info {
    };
    if (!fileSystemStatus(path, info)) {
        return false;
    }
    bytes = static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_bsize);
    return true;
}

std::vector<StdString> FileSystem::openFileInLines(StdString fileName)
{
    std::vector<StdString> retVal;
    if (!fileExists(fileName)) {
        return retVal;
    }
    std::ifstream input(fileName);
    std::string line;
    try {
        while (std::getline(input, line)) {
            retVal.push_back(StdString(line.c_str()));
        }
    } catch (const std::exception&) {
        // A file too large for memory ends the reading like a read error.
    }
    return retVal;
}

std::vector<StdString> FileSystem::splitDelimitedString(StdString stringToParse,
                                                        StdString delimiter)
{
    std::vector<StdString> retValue;
    std::string::size_type next = std::string::npos;
    do {
        const std::string::size_type current = next + 1;
        next = stringToParse.find_first_of(delimiter, current);
        const std::string::size_type count =
            next == std::string::npos ? std::string::npos : next - current;
        retValue.push_back(StdString(stringToParse.substr(current, count).c_str()));
    } while (next != std::string::npos);
    return retValue;
}
