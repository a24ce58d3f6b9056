// The options that ask about the card or act on the bootstrap alone:
// "-v" (verdict on the package), "-g" (version the card offers) and
// "-u"/"B" (erase the bootstrap partition).
#include "cardflash_fixture.h"

namespace cardflash_test
{
namespace
{

using VerifyCardTest = CardflashTest;
using VersionToUpdateTest = CardflashTest;
using RemoveBootstrapTest = CardflashTest;

// --- -v ------------------------------------------------------------------------------

TEST_F(VerifyCardTest, AVerifiedImagePackageIsFlashAndTouchesNoPartition)
{
    manifest("Version,1.0\n" + image(kKernel));
    expectNothingWritten(onCard({"-v", "--verifySDCard"}), "FLASH\nFLASH\n");
}

TEST_F(VerifyCardTest, NoCardOrNoManifestIsSaidAndInvalid)
{
    expectNothingWritten(cardflash({"--card", "absent"}, {"-v"}), kNoCard + "INVALID\n");
    expectNothingWritten(onCard({"-v"}), "NO MANIFEST\nINVALID\n");
}

// A rejected image, nothing to write, a name outside /images.
TEST_F(VerifyCardTest, APackageThatDoesNotCheckOutIsInvalid)
{
    unit.writeImage("rootfs.squashfs", "root");
    const std::vector<std::string> manifests = {
        image(kKernel) + "rootfs.squashfs," + checkSum("other root") + "\n",
        "Version,1.0\n" + image("notes.txt", "notes"),
        image(kKernel) + "../etc/passwd," + checkSum(UnitSandbox::readFile("/etc/passwd")) + "\n",
    };
    for (const std::string& text : manifests) {
        manifest(text);
        EXPECT_EQ(onCard({"-v"}).out, "INVALID\n") << text;
    }
}

// --- -g ------------------------------------------------------------------------------

// Whether or not an image verifies; no version line gives an empty line.
TEST_F(VersionToUpdateTest, TheManifestsVersionIsPrinted)
{
    manifest("Version,4.2.0-rc1\n" + image(kKernel));
    expectNothingWritten(onCard({"-g"}), "4.2.0-rc1\n");
    manifest("Version,4.3\nzImage,0000\n");
    EXPECT_EQ(onCard({"--getVersionToUpdate"}).out, "4.3\n");
    manifest(image(kKernel));
    EXPECT_EQ(onCard({"-g"}).out, "\n");
}

TEST_F(VersionToUpdateTest, NoCardOrNoManifestIsSaidAndFollowedByAnEmptyLine)
{
    EXPECT_EQ(onCard({"-g"}).out, "NO MANIFEST\n\n");
    manifest("Version,4.2\n");
    EXPECT_EQ(cardflash({"--card", "absent"}, {"-g"}).out, kNoCard + "\n");
}

// --- -u, B ---------------------------------------------------------------------------

// Every spelling unlocks and erases mtd0 and runs no lock.
TEST_F(RemoveBootstrapTest, TheShortLongAndCapitalBOptionsEraseMtd0)
{
    for (const char* option : {"-u", "B", "--uninstallBootstrap"}) {
        const SandboxResult r = cardflash({"--card", "absent"}, {option});
        EXPECT_EQ(r.out, kUnlockLine + eraseStep("/dev/mtd0") + "BOOTSTRAP REMOVED\n") << option;
        EXPECT_EQ(r.log, "flash_unlock /dev/mtd5 0 900 -> 0\n" + eraseLog("/dev/mtd0")) << option;
        EXPECT_EQ(r.exitStatus, 255);
        expectPartitions({{0, std::string(kPartitionSize, '\xff')}});
    }
}

TEST_F(RemoveBootstrapTest, DashCapitalBIsIgnored)
{
    expectNothingWritten(cardflash({"--card", "absent"}, {"-B"}), "");
}

TEST_F(RemoveBootstrapTest, AFailedEraseSaysTheBootstrapWasNotRemoved)
{
    const SandboxResult r =
        cardflash({"--card", "absent", "--fail", "flash_erase:/dev/mtd0"}, {"-u"});
    EXPECT_EQ(r.out, kUnlockLine + eraseStep("/dev/mtd0", 1) + "BOOTSTRAP NOT REMOVED\n");
    EXPECT_EQ(r.log, "flash_unlock /dev/mtd5 0 900 -> 0\n" + eraseLog("/dev/mtd0", 1));
    expectPartitions();
}

} // namespace
} // namespace cardflash_test
