#include "runningsystem.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "filesystem.h"
#include "mountinfo.h"

namespace
{

const char8* const mtdDevicePrefix = "/dev/mtd";
const char8* const mtdBlockDevicePrefix = "/dev/mtdblock";
const char8* const mtdSourcePrefix = "mtd";
const char8* const memoryInformation = "/proc/meminfo";
const char8* const availableMemoryField = "\nMemAvailable:";
const std::size_t longestMemoryInformation = std::size_t{64} * 1024;
const std::uint64_t bytesPerKibibyte = 1024;

// An address-sanitized build reserves terabytes of shadow memory, which no
// machine could lock.
bool addressSanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

const unsigned long mtdBlockMajor = 31;
const char8* const partitionNames = "/proc/mtd";
const std::size_t longestPartitionNames = std::size_t{64} * 1024;
const char8* const namedSourcePrefix = "mtd:";

// N of "/dev/mtdN"; false for any other device.
bool partitionNumber(const StdString& device, unsigned long& number)
{
    const std::string prefix = mtdDevicePrefix;
    if (device.compare(0, prefix.size(), prefix) != 0 || device.size() == prefix.size()) {
        return false;
    }
    char8* end = nullptr;
    number = std::strtoul(device.c_str() + prefix.size(), &end, 10);
    return *end == '\0';
}

// The partition's name in the kernel's list ("mtdN: SIZE ERASESIZE "NAME""),
// "" when it is not there.
std::string partitionName(const std::string& number)
{
    FileSystem fileSystem;
    std::string list;
    if (!fileSystem.readFileBytes(partitionNames, longestPartitionNames, list)) {
        return std::string();
    }
    const std::string lineStart = "\n" + std::string(mtdSourcePrefix) + number + ":";
    const std::size_t line = ("\n" + list).find(lineStart);
    const std::size_t open = line == std::string::npos ? line : list.find('"', line);
    const std::size_t close = open == std::string::npos ? open : list.find('"', open + 1);
    return close == std::string::npos ? std::string() : list.substr(open + 1, close - open - 1);
}

// A file system on the partition shows the partition's device number (the
// MTD block devices', whatever it was mounted from), or names it as its
// source in any of the forms mount takes.
bool isOnPartition(const MountedFileSystem& mounted, const StdString& device)
{
    unsigned long number = 0;
    if (!partitionNumber(device, number)) {
        return mounted.source == device;
    }
    if (mounted.major == mtdBlockMajor && mounted.minor == number) {
        return true;
    }
    const std::string n = std::to_string(number);
    const std::string name = partitionName(n);
    return mounted.source == device || mounted.source == mtdBlockDevicePrefix + n ||
           mounted.source == mtdSourcePrefix + n ||
           (!name.empty() && mounted.source == namedSourcePrefix + name);
}

// The first of the devices that a writable file system is mounted from.
bool findWritable(const std::vector<StdString>& devices, StdString& writableDevice)
{
    std::vector<MountedFileSystem> mounts;
    if (!MountInfo::Read(mounts)) {
        writableDevice = devices.empty() ? StdString() : devices.front();
        return !devices.empty();
    }
    for (const StdString& device : devices) {
        for (const MountedFileSystem& mounted : mounts) {
            if (isOnPartition(mounted, device) && !mounted.isReadOnly()) {
                writableDevice = device;
                return true;
            }
        }
    }
    return false;
}

struct Remounted {
    std::string mountPoint;
    unsigned long flags;
};

void putBack(const std::vector<Remounted>& changed)
{
    for (auto mounted = changed.rbegin(); mounted != changed.rend(); ++mounted) {
        (void)MountInfo::Remount(mounted->mountPoint, false, mounted->flags);
    }
}

} // namespace

bool RunningSystem::KeepThisProcessInMemory()
{
    return addressSanitized() || mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
}

// Each mount is remounted through its mount point, keeping its own flags,
// when that path leads to it and not to another mount on top. Afterwards
// none may be writable. A refusal puts back every mount it changed, as it
// was; a mount table that cannot be read refuses.
bool RunningSystem::StopWritesTo(const std::vector<StdString>& devices, StdString& busyDevice)
{
    std::vector<MountedFileSystem> mounts;
    std::vector<Remounted> changed;
    if (!MountInfo::Read(mounts)) {
        busyDevice = devices.empty() ? StdString() : devices.front();
        return devices.empty();
    }
    for (const StdString& device : devices) {
        for (const MountedFileSystem& mounted : mounts) {
            if (!isOnPartition(mounted, device) || mounted.isReadOnly()) {
                continue;
            }
            if (!MountInfo::Reaches(mounted) ||
                !MountInfo::Remount(mounted.mountPoint, true, mounted.mountFlags())) {
                putBack(changed);
                busyDevice = device;
                return false;
            }
            changed.push_back({mounted.mountPoint, mounted.mountFlags()});
        }
    }
    if (findWritable(devices, busyDevice)) {
        putBack(changed);
        return false;
    }
    return true;
}

bool RunningSystem::AvailableMemory(std::uint64_t& bytes)
{
    FileSystem fileSystem;
    std::string information;
    if (!fileSystem.readFileBytes(memoryInformation, longestMemoryInformation, information)) {
        return false;
    }
    const std::size_t field = information.find(availableMemoryField);
    if (field == std::string::npos) {
        return false;
    }
    const char8* const value =
        information.c_str() + field + std::string(availableMemoryField).size();
    char8* end = nullptr;
    errno = 0;
    const unsigned long long kibibytes = std::strtoull(value, &end, 10);
    if (end == value || errno != 0 || kibibytes > UINT64_MAX / bytesPerKibibyte) {
        return false;
    }
    bytes = kibibytes * bytesPerKibibyte;
    return true;
}
