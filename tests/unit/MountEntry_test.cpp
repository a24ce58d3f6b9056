#include "MountEntry.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace
{

bool isDecimal(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "DEVICE DIRECTORY size=N free=N avail=N" with plain decimal numbers.
bool isListLine(const std::string& line)
{
    const std::size_t size = line.find(" size=");
    const std::size_t free = line.find(" free=", size);
    const std::size_t avail = line.find(" avail=", free);
    if (size == std::string::npos || free == std::string::npos || avail == std::string::npos) {
        return false;
    }
    const std::size_t blank = line.substr(0, size).find(" /");
    return blank != std::string::npos && blank > 0 &&
           isDecimal(line.substr(size + 6, free - size - 6)) &&
           isDecimal(line.substr(free + 6, avail - free - 6)) && isDecimal(line.substr(avail + 7));
}

// These cases read the machine's own mount table, whatever it lists; the
// cases that need a known table run in the sandboxed unit
// (tests/system/sdcardhandler_systest.cpp).

TEST(MountEntryFields, AreEmptyAfterConstruction)
{
    MountEntry entry;
    EXPECT_EQ(entry.getMountDevice(), "");
    EXPECT_EQ(entry.getMountPoint(), "");
    EXPECT_EQ(entry.getFilesystemType(), "");
}

TEST(MountEntryFields, SettersStoreANonEmptyText)
{
    MountEntry entry;
    EXPECT_TRUE(entry.setMountDevice("/dev/mmcblk0p1"));
    EXPECT_TRUE(entry.setMountPoint("/mnt/sd-card"));
    EXPECT_TRUE(entry.setFilesystemType("vfat"));
    EXPECT_EQ(entry.getMountDevice(), "/dev/mmcblk0p1");
    EXPECT_EQ(entry.getMountPoint(), "/mnt/sd-card");
    EXPECT_EQ(entry.getFilesystemType(), "vfat");
}

TEST(MountEntryFields, SettersRefuseAnEmptyTextAndKeepThePreviousValue)
{
    MountEntry entry;
    entry.setMountDevice("/dev/mmcblk0p1");
    entry.setMountPoint("/mnt/sd-card");
    entry.setFilesystemType("vfat");
    EXPECT_FALSE(entry.setMountDevice(""));
    EXPECT_FALSE(entry.setMountPoint(""));
    EXPECT_FALSE(entry.setFilesystemType(""));
    EXPECT_EQ(entry.getMountDevice(), "/dev/mmcblk0p1");
    EXPECT_EQ(entry.getMountPoint(), "/mnt/sd-card");
    EXPECT_EQ(entry.getFilesystemType(), "vfat");
}

TEST(MountEntryFields, ACopyAndAnAssignmentCarryTheFields)
{
    MountEntry original;
    original.setMountDevice("/dev/mmcblk0p1");
    original.setMountPoint("/mnt/sd-card");
    original.setFilesystemType("vfat");
    MountEntry copy(original);
    MountEntry assigned;
    MountEntry returned = (assigned = original);
    for (const MountEntry* entry : {&copy, &assigned, &returned}) {
        EXPECT_EQ(entry->getMountDevice(), "/dev/mmcblk0p1");
        EXPECT_EQ(entry->getMountPoint(), "/mnt/sd-card");
        EXPECT_EQ(entry->getFilesystemType(), "vfat");
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

TEST(MountEntryTable, FindsTextThatTheTableHolds)
{
    // Every Linux system has /proc mounted, so "/proc" is in the table.
    MountEntry entry;
    EXPECT_TRUE(entry.findEntry("/proc"));
    EXPECT_TRUE(entry.exists("/proc"));
}

TEST(MountEntryTable, FindsAnyPartOfALine)
{
    MountEntry entry;
    EXPECT_TRUE(entry.findEntry("/pro")) << "a leading part of a path";
    EXPECT_TRUE(entry.findEntry("roc")) << "the middle of a word";
}

TEST(MountEntryTable, DoesNotFindTextThatTheTableLacks)
{
    MountEntry entry;
    EXPECT_FALSE(entry.findEntry("/no/such/mount/point/3f9c2a"));
    EXPECT_FALSE(entry.exists("/no/such/mount/point/3f9c2a"));
}

TEST(MountEntryTable, AlwaysFindsTheEmptyText)
{
    MountEntry entry;
    EXPECT_TRUE(entry.findEntry(""));
}

TEST(MountEntryListForm, AcceptsOnlyTheListLineForm)
{
    EXPECT_TRUE(isListLine("/dev/mmcblk0p1 /mnt/sd-card size=4294967296 free=2147483648 "
                           "avail=2147483648"));
    EXPECT_FALSE(isListLine("/dev/mmcblk0p1 /mnt/sd-card size=4 GiB free=2 avail=2"));
    EXPECT_FALSE(isListLine("/dev/mmcblk0p1 /mnt/sd-card free=2 size=4 avail=2"));
    EXPECT_FALSE(isListLine("/mnt/sd-card size=4 free=2 avail=2"));
}

TEST(MountEntryTable, PrintListWritesOneSizeLinePerQueryableMount)
{
    MountEntry entry;
    testing::internal::CaptureStdout();
    entry.printList();
    const std::string output = testing::internal::GetCapturedStdout();

    std::istringstream lines(output);
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
