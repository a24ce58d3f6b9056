// The rig itself: what the sandboxed unit shows for each option, and what the
// stand-in MTD utilities do to the partition files and the log.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "UnitSandbox.h"

namespace
{

const std::string kErased(1024 * 1024, '\xff');
const std::string kZeros(1024 * 1024, '\0');

class UnitSandboxTest : public ::testing::Test
{
protected:
    UnitSandbox m_unit;
};

class CardStates : public UnitSandboxTest
{
protected:
    std::string look(const std::string& card)
    {
        return m_unit
            .runShell({"--card", card},
                      "test -d /sys/block/mmcblk0 && echo slot; grep -c ' /mnt/sd-card ' /etc/mtab")
            .out;
    }
};

TEST_F(CardStates, EachStateShowsItsSlotFolderAndMount)
{
    EXPECT_EQ(look("absent"), "0\n");
    EXPECT_EQ(look("present"), "slot\n0\n");
    EXPECT_EQ(look("mounted"), "slot\n1\n");
    EXPECT_EQ(look("stale"), "1\n");
}

TEST_F(CardStates, AMountedCardShowsTheSdFolderAndCanBeUnmounted)
{
    m_unit.writeSdFile("lumoManifest", "on the card\n");
    SandboxResult r = m_unit.runShell(
        {"--card", "mounted"},
        "cat /mnt/sd-card/lumoManifest && umount /mnt/sd-card && grep -c sd-card /etc/mtab");
    EXPECT_EQ(r.out, "on the card\n0\n") << r.err;
}

TEST_F(CardStates, NoSysBlockRemovesTheWholeFolder)
{
    EXPECT_EQ(m_unit.runShell({"--card", "present", "--no-sys-block"}, "ls /sys").out, "");
}

TEST_F(UnitSandboxTest, MtabIsTheSandboxsOwnMountListUnlessRemovedOrReplaced)
{
    EXPECT_EQ(m_unit.runShell({}, "readlink /etc/mtab").out, "/proc/self/mounts\n");
    EXPECT_EQ(m_unit.runShell({"--no-mtab"}, "test -e /etc/mtab || echo none").out, "none\n");
    m_unit.writeFile("table", "a /b c d 0 0\n");
    EXPECT_EQ(m_unit.runShell({"--mtab", m_unit.root() + "/table"}, "cat /etc/mtab").out,
              "a /b c d 0 0\n");
}

TEST_F(UnitSandboxTest, WritesIntoUsrStayInsideTheSandbox)
{
    const std::string marker = "/usr/share/unit-sandbox-test-marker";
    SandboxResult r = m_unit.runShell({}, "echo x > " + marker + " && cat " + marker);
    EXPECT_EQ(r.out, "x\n") << r.err;
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(UnitSandboxTest, ExitStatusOutputAndErrorAreTheCommands)
{
    SandboxResult r = m_unit.runShell({}, "echo out; echo err >&2; exit 7");
    EXPECT_EQ(r.exitStatus, 7);
    EXPECT_EQ(r.out, "out\n");
    EXPECT_EQ(r.err, "err\n");
    EXPECT_EQ(m_unit.run({"--card", "broken"}, {"/bin/true"}).exitStatus, 125);
}

TEST_F(UnitSandboxTest, TheApplicationStandInPrintsTheChosenVersion)
{
    EXPECT_EQ(
        m_unit.run({"--version", "2.17.4-r9"}, {"/usr/share/lumo/bin/TestTessaron", "--version"})
            .out,
        "2.17.4-r9\n");
    EXPECT_EQ(m_unit.runShell({}, "test -e /usr/share/lumo/bin/TestTessaron || echo none").out,
              "none\n");
}

TEST_F(UnitSandboxTest, TheGivenCardflashIsInstalledAsAReplaceableCopy)
{
    SandboxResult r = m_unit.runShell({"--cardflash", "/bin/echo"},
                                      "/usr/share/lumo/bin/cardflash hello && "
                                      "echo new > /usr/share/lumo/bin/cardflash && echo replaced");
    EXPECT_EQ(r.out, "hello\nreplaced\n") << r.err;
}

TEST_F(UnitSandboxTest, TheFixtureFolderGoesWithTheObject)
{
    std::string root;
    {
        UnitSandbox unit;
        root = unit.root();
        EXPECT_TRUE(std::filesystem::is_directory(root + "/mtd"));
    }
    EXPECT_FALSE(std::filesystem::exists(root));
}

class StandIns : public UnitSandboxTest
{
};

TEST_F(StandIns, PartitionsStartErased)
{
    EXPECT_EQ(m_unit.readPartition(0), kErased);
    EXPECT_EQ(m_unit.readPartition(8), kErased);
}

TEST_F(StandIns, FlashEraseFillsTheWholePartitionAndLogsTheCall)
{
    m_unit.writePartition(4, kZeros);
    SandboxResult r = m_unit.run({}, {"flash_erase", "/dev/mtd4", "0", "0"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(m_unit.readPartition(4), kErased);
    EXPECT_EQ(r.log, "flash_erase /dev/mtd4 0 0 -> 0\n");
}

TEST_F(StandIns, FlashEraseOfOneBlockErasesOnlyThatBlock)
{
    m_unit.writePartition(4, kZeros);
    m_unit.run({}, {"flash_erase", "/dev/mtd4", "65536", "1"});
    const std::string after = m_unit.readPartition(4);
    EXPECT_EQ(after.substr(0, 65536), kZeros.substr(0, 65536));
    EXPECT_EQ(after.substr(65536, 65536), kErased.substr(0, 65536));
    EXPECT_EQ(after.substr(131072), kZeros.substr(131072));
}

TEST_F(StandIns, FlashcpCopiesTheImageToTheStartAndVerifiesIt)
{
    m_unit.writePartition(4, kZeros);
    const std::string image = std::string(100000, 'A') + "end";
    m_unit.writeImage("zImage", image);
    SandboxResult r = m_unit.run({}, {"flashcp", "-v", "/images/zImage", "/dev/mtd4"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    const std::string after = m_unit.readPartition(4);
    EXPECT_EQ(after.substr(0, image.size()), image);
    EXPECT_EQ(after.substr(image.size(), 131072 - image.size()),
              kErased.substr(0, 131072 - image.size()))
        << "the rest of the erase blocks it used is erased";
    EXPECT_EQ(after.substr(131072), kZeros.substr(131072)) << "later blocks are untouched";
    EXPECT_NE(r.out.find("Verifying data"), std::string::npos) << r.out;
    EXPECT_EQ(r.log, "flashcp -v /images/zImage /dev/mtd4 -> 0\n");
}

TEST_F(StandIns, FlashcpRefusesAnImageLargerThanThePartition)
{
    m_unit.writeImage("big", std::string(1024 * 1024 + 1, 'B'));
    SandboxResult r = m_unit.run({}, {"flashcp", "-v", "/images/big", "/dev/mtd4"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("won't fit"), std::string::npos) << r.err;
    EXPECT_EQ(m_unit.readPartition(4), kErased);
    EXPECT_EQ(r.log, "flashcp -v /images/big /dev/mtd4 -> 1\n");
}

TEST_F(StandIns, FlashcpFailsForAMissingImage)
{
    SandboxResult r = m_unit.run({}, {"flashcp", "-v", "/images/none", "/dev/mtd4"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("/images/none"), std::string::npos) << r.err;
}

TEST_F(StandIns, FailingUnlockAndLockBehaveLikeFlashWithoutLockSupport)
{
    SandboxResult r = m_unit.runShell({"--fail", "flash_unlock", "--fail", "flash_lock"},
                                      "flash_unlock /dev/mtd5 0 0; echo $?; "
                                      "flash_lock /dev/mtd5 0 0; echo $?");
    EXPECT_EQ(r.out, "255\n255\n");
    EXPECT_EQ(r.err, "flash_unlock: error!: could not unlock device: /dev/mtd5\n"
                     "            error 95 (Operation not supported)\n"
                     "flash_lock: error!: could not lock device: /dev/mtd5\n"
                     "            error 95 (Operation not supported)\n");
    EXPECT_EQ(r.log, "flash_unlock /dev/mtd5 0 0 -> 255\nflash_lock /dev/mtd5 0 0 -> 255\n");
}

TEST_F(StandIns, AFailureForOneDeviceLeavesTheOthersWorking)
{
    m_unit.writePartition(3, kZeros);
    m_unit.writePartition(4, kZeros);
    SandboxResult r = m_unit.runShell({"--fail", "flash_erase:/dev/mtd4"},
                                      "flash_erase /dev/mtd3 0 0 >/dev/null; echo $?; "
                                      "flash_erase /dev/mtd4 0 0; echo $?");
    EXPECT_EQ(r.out, "0\n1\n");
    EXPECT_EQ(m_unit.readPartition(3), kErased);
    EXPECT_EQ(m_unit.readPartition(4), kZeros);
    EXPECT_EQ(r.log, "flash_erase /dev/mtd3 0 0 -> 0\nflash_erase /dev/mtd4 0 0 -> 1\n");
}

TEST_F(StandIns, AHookRunsWithTheCallsArgumentsBeforeTheToolActs)
{
    m_unit.writeImage("zImage", "image");
    SandboxResult r =
        m_unit.runShell({"--hook", "flashcp:echo \"$0 $*\" >/tmp/seen; rm /images/zImage"},
                        "flashcp /images/zImage /dev/mtd4; echo $?; cat /tmp/seen");
    EXPECT_EQ(r.out, "1\nflashcp /images/zImage /dev/mtd4\n") << r.err;
    EXPECT_EQ(m_unit.readPartition(4), kErased);
}

TEST_F(StandIns, TheRealUtilitiesCannotBeReachedEvenByAbsolutePath)
{
    SandboxResult r =
        m_unit.runShell({}, "for t in flash_unlock flash_erase flashcp flash_lock; do "
                            "command -v $t; done; "
                            "test ! -e /usr/sbin/flash_erase || "
                            "/usr/sbin/flash_erase /dev/mtd1 0 0 >/dev/null");
    EXPECT_EQ(r.out.find("/run/unit-sandbox/support/standins/flash_unlock\n"), 0u) << r.out;
    if (std::filesystem::exists("/usr/sbin/flash_erase")) {
        EXPECT_EQ(r.log, "flash_erase /dev/mtd1 0 0 -> 0\n");
    }
}

} // namespace
