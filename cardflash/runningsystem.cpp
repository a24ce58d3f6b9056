#include "runningsystem.h"

#include <sys/mman.h>
#include <sys/mount.h>

#include "MountEntry.h"

namespace
{

const char8* const mtdDevicePrefix = "/dev/mtd";
const char8* const mtdBlockDevicePrefix = "/dev/mtdblock";
const char8* const mtdSourcePrefix = "mtd";

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
