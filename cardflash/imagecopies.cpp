#include "imagecopies.h"

#include <algorithm>
#include <cstdint>

#include "filesystem.h"
#include "privatefile.h"
#include "runningsystem.h"

namespace
{

const char8* const folderTemplate = "/run/cardflash-XXXXXX";
// What the unit keeps free for the updater, the display and the kernel
// once every copy is made: the tool locks its pages, flashcp needs its
// buffers, and a unit out of memory kills a process in the middle of the
// update.
const std::uint64_t memoryReserve = std::uint64_t{16} * 1024 * 1024;

} // namespace

ImageCopies::ImageCopies() {}

ImageCopies::~ImageCopies()
{
    if (!m_folder.empty()) {
        FileSystem fileSystem;
        fileSystem.removeDirectory(m_folder);
    }
}

// The room is asked for at each copy: the copies made before it already
// took theirs from the folder and from the memory the kernel can give.
bool ImageCopies::Open(const StdString& name, PrivateFile& copy)
{
    FileSystem fileSystem;
    std::uint64_t folderRoom = 0;
    std::uint64_t memory = 0;
    if (!MakeFolder() || !fileSystem.freeBytes(m_folder, folderRoom) ||
        !RunningSystem::AvailableMemory(memory) || memory <= memoryReserve ||
        !copy.createAt(PathOf(name))) {
        return false;
    }
    copy.limitTo(std::min(folderRoom, memory - memoryReserve));
    return true;
}

StdString ImageCopies::PathOf(const StdString& name) const
{
    return StdString(m_folder.c_str()) + "/" + name;
}

bool ImageCopies::MakeFolder()
{
    if (!m_folder.empty()) {
        return true;
    }
    FileSystem fileSystem;
    m_folder = fileSystem.makePrivateDirectory(folderTemplate);
    if (!m_folder.empty() && !fileSystem.isInMemory(m_folder)) {
        fileSystem.removeDirectory(m_folder);
        m_folder.clear();
    }
    return !m_folder.empty();
}
