#include "MountEntry.h"

#include <cstdint>
#include <cstring>
#include <iostream>
#include <sys/statfs.h>

namespace
{

const char* const kMountTable = "/etc/mtab";
const char* const kMountTableMode = "r";
const int kLineBufferSize = 4096;

bool setIfNotEmpty(std::string& member, const std::string& value)
{
    if (value.empty()) {
        return false;
    }
    member = value;
    return true;
}

void printFileSystem(const struct mntent& entry)
{
    struct statfs64 info;
    if (statfs64(entry.mnt_dir, &info) != 0) {
        return;
    }
    const uint64_t blockSize = info.f_bsize;
    const uint64_t size = info.f_blocks * blockSize;
    const uint64_t free = info.f_bfree * blockSize;
    const uint64_t avail = info.f_bavail * blockSize;
    std::cout << entry.mnt_fsname << " " << entry.mnt_dir << " size=" << size << " free=" << free
              << " avail=" << avail << std::endl;
}

// Hands every line of the mount table to `visit` until it returns true;
// true when one did. Nothing when the table cannot be opened.
template <typename Visit> bool visitMountTable(struct mntent*& current, Visit visit)
{
    FILE* table = setmntent(kMountTable, kMountTableMode);
    if (table == nullptr) {
        return false;
    }
    char lineBuffer[kLineBufferSize];
    std::memset(lineBuffer, 0, sizeof lineBuffer);
    struct mntent entry;
    bool found = false;
    while (!found &&
           (current = getmntent_r(table, &entry, lineBuffer, kLineBufferSize)) != nullptr) {
        found = visit(entry);
    }
    current = nullptr;
    endmntent(table);
    return found;
}

} // namespace

MountEntry::MountEntry() : m_mountEntry(nullptr) {}

MountEntry::MountEntry(const MountEntry& other)
    : m_mountEntry(nullptr), m_mount_device(other.m_mount_device),
      m_mount_point(other.m_mount_point), m_filesystem(other.m_filesystem),
      m_options(other.m_options), m_dump_frequency(other.m_dump_frequency),
      m_pass_number(other.m_pass_number)
{
}

// The entry pointer is not carried over: it only ever points into a listing
// that is running on the object that owns it.
MountEntry MountEntry::operator=(const MountEntry& rhs)
{
    m_mount_device = rhs.m_mount_device;
    m_mount_point = rhs.m_mount_point;
    m_filesystem = rhs.m_filesystem;
    m_options = rhs.m_options;
    m_dump_frequency = rhs.m_dump_frequency;
    m_pass_number = rhs.m_pass_number;
    return *this;
}

MountEntry::~MountEntry() {}

const std::string MountEntry::getMountDevice() const
{
    return m_mount_device;
}

const std::string MountEntry::getMountPoint() const
{
    return m_mount_point;
}

const std::string MountEntry::getFilesystemType() const
{
    return m_filesystem;
}

bool MountEntry::setMountDevice(const std::string& device)
{
    return setIfNotEmpty(m_mount_device, device);
}

bool MountEntry::setMountPoint(const std::string& mount_point)
{
    return setIfNotEmpty(m_mount_point, mount_point);
}

bool MountEntry::setFilesystemType(const std::string& filesystem)
{
    return setIfNotEmpty(m_filesystem, filesystem);
}

bool MountEntry::setMountDeviceEntry(const std::string& filename, const std::string& options)
{
    std::string mtab_filename = kMountTable;
    std::string file_options = kMountTableMode;
    if (!filename.empty()) {
        mtab_filename = filename;
    }
    if (!options.empty()) {
        file_options = options;
    }
    FILE* table = setmntent(mtab_filename.c_str(), file_options.c_str());
    if (table != nullptr) {
        endmntent(table);
    }
    return true;
}

// The mount point must be the target exactly: "/mnt/sd-card-old" is not
// "/mnt/sd-card".
bool MountEntry::findEntry(std::string target)
{
    return visitMountTable(m_mountEntry, [&target](const struct mntent& entry) {
        return entry.mnt_dir != nullptr && target == entry.mnt_dir;
    });
}

bool MountEntry::exists(std::string entry)
{
    return findEntry(entry);
}

void MountEntry::printList()
{
    (void)visitMountTable(m_mountEntry, [](const struct mntent& entry) {
        if (entry.mnt_dir != nullptr) {
            printFileSystem(entry);
        }
        return false;
    });
}
