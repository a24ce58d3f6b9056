#include "MountEntry.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

namespace
{

// These cases read the machine's own mount table, whatever it lists; the
// cases that need a known table run in the sandboxed unit.

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

TEST(MountEntryTable, FindsAnyPartOfALineAndOnlyTextTheTableHolds)
{
    // Every Linux system has /proc mounted.
    MountEntry entry;
    EXPECT_TRUE(entry.findEntry("/proc"));
    EXPECT_TRUE(entry.exists("/proc"));
    EXPECT_TRUE(entry.findEntry("/pro")) << "a leading part of a path";
    EXPECT_TRUE(entry.findEntry("roc")) << "the middle of a word";
    EXPECT_TRUE(entry.findEntry("")) << "the empty text is always found";
    EXPECT_FALSE(entry.findEntry("/no/such/mount/point/3f9c2a"));
    EXPECT_FALSE(entry.exists("/no/such/mount/point/3f9c2a"));
}

TEST(MountEntryTable, PrintListWritesOneDecimalSizeLinePerQueryableMount)
{
    MountEntry entry;
    testing::internal::CaptureStdout();
    entry.printList();
    std::istringstream lines(testing::internal::GetCapturedStdout());
    const std::regex form(".+ /.* size=[0-9]+ free=[0-9]+ avail=[0-9]+");
    std::string line;
    int count = 0;
    bool sawProc = false;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, form)) << line;
        sawProc = sawProc || line.find(" /proc size=") != std::string::npos;
        ++count;
    }
    EXPECT_GE(count, 1);
    EXPECT_TRUE(sawProc);
}

} // namespace
