// The options that ask about the card or act on the bootstrap alone:
// "-v" (verdict on the package), "-g" (version the card offers) and
// "-u"/"B" (erase the bootstrap partition).
#include "cardflash_fixture.h"

namespace cardflash_test
{
namespace
{

class VerifyCardTest : public CardflashTest
{
};
class VersionToUpdateTest : public CardflashTest
{
};
class RemoveBootstrapTest : public CardflashTest
{
};

// --- -v ------------------------------------------------------------------------------

TEST_F(VerifyCardTest, AVerifiedImagePackageIsFlash)
{
    manifest("Version,1.0\n" + image("zImage", "kernel"));
    const SandboxResult r = onCard({"-v"});
    EXPECT_EQ(r.out, "FLASH\n");
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(VerifyCardTest, NoCardIsSaidAndInvalid)
{
    const SandboxResult r = cardflash({"--card", "absent"}, {"--verifySDCard"});
    EXPECT_EQ(r.out, "The sdcard is not available!324\nINVALID\n");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(VerifyCardTest, NoManifestIsSaidAndInvalid)
{
    EXPECT_EQ(onCard({"-v"}).out, "NO MANIFEST\nINVALID\n");
}

TEST_F(VerifyCardTest, APackageWithARejectedImageIsInvalid)
{
    unit.writeImage("rootfs.squashfs", "root");
    manifest(image("zImage", "kernel") + "rootfs.squashfs," + checkSum("other root") + "\n");
    EXPECT_EQ(onCard({"-v"}).out, "INVALID\n");
}

TEST_F(VerifyCardTest, APackageWithNothingToWriteIsInvalid)
{
    manifest("Version,1.0\n" + image("notes.txt", "notes"));
    EXPECT_EQ(onCard({"-v"}).out, "INVALID\n");
}

TEST_F(VerifyCardTest, AManifestNamingAFileOutsideTheImagesIsInvalid)
{
    manifest(image("zImage", "kernel") + "../etc/passwd," +
             checkSum(UnitSandbox::readFile("/etc/passwd")) + "\n");
    EXPECT_EQ(onCard({"-v"}).out, "INVALID\n");
}

TEST_F(VerifyCardTest, VerifyingTouchesNoPartition)
{
    manifest(image("zImage", "kernel"));
    const SandboxResult r = onCard({"-v", "-v"});
    EXPECT_EQ(r.out, "FLASH\nFLASH\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

// --- -g ------------------------------------------------------------------------------

TEST_F(VersionToUpdateTest, TheManifestsVersionIsPrinted)
{
    manifest("Version,4.2.0-rc1\n" + image("zImage", "kernel"));
    const SandboxResult r = onCard({"-g"});
    EXPECT_EQ(r.out, "4.2.0-rc1\n");
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(VersionToUpdateTest, TheVersionIsPrintedEvenWhenNoImageVerifies)
{
    manifest("Version,4.3\nzImage,0000\n");
    EXPECT_EQ(onCard({"--getVersionToUpdate"}).out, "4.3\n");
}

TEST_F(VersionToUpdateTest, AManifestWithoutAVersionLineGivesAnEmptyLine)
{
    manifest(image("zImage", "kernel"));
    EXPECT_EQ(onCard({"-g"}).out, "\n");
}

TEST_F(VersionToUpdateTest, NoCardIsSaidAndFollowedByAnEmptyLine)
{
    manifest("Version,4.2\n");
    EXPECT_EQ(cardflash({"--card", "absent"}, {"-g"}).out, "The sdcard is not available!324\n\n");
}

TEST_F(VersionToUpdateTest, NoManifestIsSaidAndFollowedByAnEmptyLine)
{
    EXPECT_EQ(onCard({"-g"}).out, "NO MANIFEST\n\n");
}

// --- -u, B ---------------------------------------------------------------------------

const std::string kRemoved = "BOOTSTRAP REMOVED\n";

TEST_F(RemoveBootstrapTest, ShortOptionUnlocksErasesMtd0AndRunsNoLock)
{
    const SandboxResult r = cardflash({"--card", "absent"}, {"-u"});
    EXPECT_EQ(r.out, kUnlockLine + eraseStep("/dev/mtd0") + kRemoved);
    EXPECT_EQ(r.log, kUnlockLog + eraseLog("/dev/mtd0"));
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_TRUE(unit.readPartition(0) == std::string(kPartitionSize, '\xff'));
    expectUntouched({1, 2, 3, 4, 5, 6, 7, 8});
}

TEST_F(RemoveBootstrapTest, CapitalBAloneAndTheLongOptionRemoveTheBootstrapToo)
{
    for (const char* option : {"B", "--uninstallBootstrap"}) {
        const SandboxResult r = cardflash({"--card", "absent"}, {option});
        EXPECT_EQ(r.out, kUnlockLine + eraseStep("/dev/mtd0") + kRemoved) << option;
        EXPECT_EQ(r.log, kUnlockLog + eraseLog("/dev/mtd0")) << option;
    }
}

TEST_F(RemoveBootstrapTest, DashCapitalBIsIgnored)
{
    const SandboxResult r = cardflash({"--card", "absent"}, {"-B"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(RemoveBootstrapTest, AFailedEraseSaysTheBootstrapWasNotRemoved)
{
    const SandboxResult r =
        cardflash({"--card", "absent", "--fail", "flash_erase:/dev/mtd0"}, {"-u"});
    EXPECT_EQ(r.out, std::string(kUnlockLine) + "Erasing /dev/mtd0\n" + kFailedStatus +
                         "BOOTSTRAP NOT REMOVED\n");
    EXPECT_EQ(r.log, kUnlockLog + eraseLog("/dev/mtd0", 1));
    expectAllUntouched();
}

} // namespace
} // namespace cardflash_test
