#ifndef RUNNINGSYSTEM_H
#define RUNNINGSYSTEM_H

#include <cstdint>
#include <vector>

#include "StdString.h"

// The unit runs from the file systems that an update rewrites. From the
// first erase on, this process must not need them again, and nothing may
// write to a partition while it is being rewritten.
class RunningSystem
{
public:
    // Keeps every page of this process in RAM from now on, so that it never
    // reads its own code or libraries from the flash again.
    [[nodiscard]] static bool KeepThisProcessInMemory();
    // Makes every mounted file system on these partitions ("/dev/mtdN")
    // read-only, which also stops JFFS2's garbage collector. False, with
    // the partition in `busyDevice`, when one of them cannot be.
    [[nodiscard]] static bool StopWritesTo(const std::vector<StdString>& devices,
                                           StdString& busyDevice);
    // The bytes of memory that the kernel can give without swapping
    // (MemAvailable); false when it does not say.
    [[nodiscard]] static bool AvailableMemory(std::uint64_t& bytes);
};

#endif
