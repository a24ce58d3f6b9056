#include "MountEntry.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace
{

// These cases read the machine's own mount table, whatever it lists; the
// cases that need a known table run in the sandboxed unit.

// "DEVICE /DIR size=N free=N avail=N", the three numbers plain decimal.
bool isListLine(const std::string& line)
{
    const size_t dir = line.find(" /");
    if (dir == 0 || dir == std::string::npos) {
        return false;
    }
    size_t at = dir;
    for (const std::string key : {" size=", " free=", " avail="}) {
        at = line.find(key, at);
        if (at == std::string::npos) {
            return false;
        }
        at += key.size();
        const size_t digits = line.find_first_not_of("0123456789", at);
        const size_t end = digits == std::string::npos ? line.size() : digits;
        if (end == at || (key != " avail=" && line.compare(end, 1, " ") != 0) ||
            (key == " avail=" && end != line.size())) {
            return false;
        }
    }
    return true;
}

void expectFields(const MountEntry& entry, const std::string& device, const std::string& point,
                  const std::string& type)
{
    EXPECT_EQ(entry.getMountDevice(), device);
    EXPECT_EQ(entry.getMountPoint(), point);
    EXPECT_EQ(entry.getFilesystemType(), type);
}

TEST(MountEntryFields, StartEmptyAndSettersStoreOnlyANonEmptyText)
{
    MountEntry entry;
    expectFields(entry, "", "", "");
    EXPECT_TRUE(entry.setMountDevice("/dev/mmcblk0p1"));
    EXPECT_TRUE(entry.setMountPoint("/mnt/sd-card"));
    EXPECT_TRUE(entry.setFilesystemType("vfat"));
    EXPECT_FALSE(entry.setMountDevice(""));
    EXPECT_FALSE(entry.setMountPoint(""));
    EXPECT_FALSE(entry.setFilesystemType(""));
    expectFields(entry, "/dev/mmcblk0p1", "/mnt/sd-card", "vfat");

    MountEntry copy(entry);
    MountEntry assigned;
    MountEntry returned = (assigned = entry);
    for (const MountEntry* other : {&copy, &assigned, &returned}) {
        expectFields(*other, "/dev/mmcblk0p1", "/mnt/sd-card", "vfat");
    }
}

TEST(MountEntryTable, SetMountDeviceEntryIsTrueEvenForAMissingTable)
{
    MountEntry entry;
    EXPECT_TRUE(entry.setMountDeviceEntry("/no/such/mount/table", ""));
    EXPECT_TRUE(entry.setMountDeviceEntry("", ""));
    EXPECT_TRUE(entry.setMountDeviceEntry("", "r"));
    EXPECT_EQ(entry.getMountDevice(), "") << "no field changes";
}

TEST(MountEntryTable, FindsOnlyAWholeMountPoint)
{
    // Every Linux system has /proc mounted.
    MountEntry entry;
    EXPECT_TRUE(entry.findEntry("/proc"));
    EXPECT_TRUE(entry.exists("/proc"));
    EXPECT_FALSE(entry.findEntry("/pro")) << "a leading part of a path";
    EXPECT_FALSE(entry.findEntry("proc")) << "a device or file-system name";
    EXPECT_FALSE(entry.findEntry(""));
    EXPECT_FALSE(entry.findEntry("/no/such/mount/point/3f9c2a"));
    EXPECT_FALSE(entry.exists("/no/such/mount/point/3f9c2a"));
}

TEST(MountEntryTable, PrintListWritesOneDecimalSizeLinePerQueryableMount)
{
    MountEntry entry;
    testing::internal::CaptureStdout();
    entry.printList();
    std::istringstream lines(testing::internal::GetCapturedStdout());
    std::string line;
    int count = 0;
    bool sawProc = false;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(isListLine(line)) << line;
        sawProc = sawProc || line.find(" /proc size=") != std::string::npos;
        ++count;
    }
    EXPECT_GE(count, 1);
    EXPECT_TRUE(sawProc);
}

} // namespace
