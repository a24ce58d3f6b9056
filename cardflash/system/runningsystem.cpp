#include "runningsystem.h"

#include <sys/mman.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "MountEntry.h"
#include "filesystem.h"

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

// The names under which a partition's file system shows in the mount table.
std::vector<std::string> mountSourcesOf(const StdString& device)
{
    if (device.compare(0, std::string(mtdDevicePrefix).size(), mtdDevicePrefix) != 0) {
        return {device};
    }
    const std::string number = device.substr(std::string(mtdDevicePrefix).size());
    return {device, mtdBlockDevicePrefix + number, mtdSourcePrefix + number};
}

} // namespace

bool RunningSystem::KeepThisProcessInMemory()
{
    return addressSanitized() || mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
}

bool RunningSystem::StopWritesTo(const std::vector<StdString>& devices, StdString& busyDevice)
{
    MountEntry mountTable;
    for (const StdString& device : devices) {
        for (const std::string& mountPoint : mountTable.mountPointsOf(mountSourcesOf(device))) {
            if (mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
                busyDevice = device;
                return false;
            }
        }
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
