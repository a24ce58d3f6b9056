#ifndef MTDDEVICE_H
#define MTDDEVICE_H

#include <cstdint>
#include <string>

// The size of a flash partition, as its MTD device tells it (MEMGETINFO).
// A device that is a plain file stands for a partition of its length.
class MtdDevice
{
public:
    // False when the device cannot be opened or asked.
    [[nodiscard]] static bool Size(const std::string& device, std::uint64_t& bytes);
};

#endif
