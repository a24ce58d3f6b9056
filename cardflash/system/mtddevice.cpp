#include "mtddevice.h"

#include <fcntl.h>
#include <mtd/mtd-user.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

bool MtdDevice::Size(const std::string& device, std::uint64_t& bytes)
{
    const int descriptor = open(device.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    struct stat64 status {
    };
    mtd_info_user information{};
    bool known = false;
    if (fstat64(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        bytes = static_cast<std::uint64_t>(status.st_size);
        known = true;
    } else if (ioctl(descriptor, MEMGETINFO, &information) == 0) {
        bytes = information.size;
        known = true;
    }
    (void)close(descriptor);
    return known;
}
