// "cardflash -f" on the sandboxed unit: what is written where, in which
// order, what the tool prints around the stand-in utilities, and that a
// package which does not check out as a whole leaves the flash untouched.
#include "cardflash_fixture.h"

#include <cctype>

namespace cardflash_test
{
namespace
{

std::string withCarriageReturn(const std::string& line)
{
    return line.substr(0, line.size() - 1) + "\r\n";
}

const std::string kKernel = "kernel image\nwith two lines\n";
const std::string kRootfs(70000, 'r'); // two erase blocks

class FlashBoardTest : public CardflashTest
{
protected:
    std::string kernelLine() const { return image("zImage", kKernel); }
    std::string rootfsLine() const { return image("rootfs.squashfs", kRootfs); }

    static std::string kernelSteps()
    {
        return eraseStep("/dev/mtd4") + writeStep("zImage", "/dev/mtd4", kKernel.size());
    }
    static std::string rootfsSteps()
    {
        return eraseStep("/dev/mtd5") + writeStep("rootfs.squashfs", "/dev/mtd5", kRootfs.size());
    }
    static std::string kernelLog()
    {
        return eraseLog("/dev/mtd4") + writeLog("zImage", "/dev/mtd4");
    }
    static std::string rootfsLog()
    {
        return eraseLog("/dev/mtd5") + writeLog("rootfs.squashfs", "/dev/mtd5");
    }

    static std::string completed(const std::string& steps)
    {
        return kUnlockLine + steps + kLockLine + "FLASH COMPLETE\n";
    }
    static std::string logged(const std::string& steps) { return kUnlockLog + steps + kLockLog; }
};

// --- what is written, and in which order -------------------------------------------

TEST_F(FlashBoardTest, TwoVerifiedImagesAreWrittenInManifestOrder)
{
    manifest("Version,1.0\n" + kernelLine() + rootfsLine());
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kernelSteps() + rootfsSteps()));
    EXPECT_EQ(r.log, logged(kernelLog() + rootfsLog()));
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
    EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs));
    expectUntouched({0, 1, 2, 3, 6, 7, 8});
}

TEST_F(FlashBoardTest, TheSameImagesListedTheOtherWayRoundAreWrittenTheOtherWayRound)
{
    manifest(rootfsLine() + kernelLine());
    const SandboxResult r = onCard({"--flashboard"});
    EXPECT_EQ(r.out, completed(rootfsSteps() + kernelSteps()));
    EXPECT_EQ(r.log, logged(rootfsLog() + kernelLog()));
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
    EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs));
}

TEST_F(FlashBoardTest, AnImageListedTwiceIsErasedAndWrittenTwice)
{
    manifest(kernelLine() + rootfsLine() + kernelLine());
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kernelSteps() + rootfsSteps() + kernelSteps()));
    EXPECT_EQ(r.log, logged(kernelLog() + rootfsLog() + kernelLog()));
}

TEST_F(FlashBoardTest, TheBootstrapImageGoesToMtd0)
{
    const std::string bootstrap = "bootstrap";
    manifest(image("bootstrap.bin", bootstrap));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(eraseStep("/dev/mtd0") +
                               writeStep("bootstrap.bin", "/dev/mtd0", bootstrap.size())));
    EXPECT_EQ(r.log, logged(eraseLog("/dev/mtd0") + writeLog("bootstrap.bin", "/dev/mtd0")));
    EXPECT_TRUE(unit.readPartition(0) == flashedWith(bootstrap));
    expectUntouched({1, 2, 3, 4, 5, 6, 7, 8});
}

TEST_F(FlashBoardTest, EveryImageOfThePackageReachesItsOwnPartition)
{
    const std::vector<std::pair<std::string, int>> images = {
        {"bootstrap.bin", 0},        {"uboot.bin", 1},
        {"at91sam9g35ek.dtb", 3},    {"zImage", 4},
        {"rootfs.squashfs", 5},      {"usr_share_lumo.jffs2", 6},
        {"usr_share_jail.jffs2", 7}, {"var.jffs2", 8},
    };
    std::string text;
    std::string steps;
    std::string log;
    for (const auto& entry : images) {
        const std::string device = "/dev/mtd" + std::to_string(entry.second);
        const std::string content = "content of " + entry.first;
        text += image(entry.first, content);
        steps += eraseStep(device) + writeStep(entry.first, device, content.size());
        log += eraseLog(device) + writeLog(entry.first, device);
    }
    manifest(text);
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(steps));
    EXPECT_EQ(r.log, logged(log));
    for (const auto& entry : images) {
        EXPECT_TRUE(unit.readPartition(entry.second) == flashedWith("content of " + entry.first))
            << entry.first;
    }
    expectUntouched({2});
}

TEST_F(FlashBoardTest, VerifiedNamesOutsideThePartitionMapAreSkippedSilently)
{
    manifest(image("readme.txt", "read me") + kernelLine() + image("Version", "not a version") +
             image("lumoTarBall.tar.gz.old", "x"));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kernelSteps()));
    EXPECT_EQ(r.log, logged(kernelLog()));
}

// --- manifest forms ------------------------------------------------------------------

TEST_F(FlashBoardTest, AManifestWithCarriageReturnsStillVerifiesAndFlashes)
{
    manifest("Version,2.0\r\n" + withCarriageReturn(kernelLine()) +
             withCarriageReturn(rootfsLine()));
    const SandboxResult r = onCard({"-f", "-g"});
    EXPECT_EQ(r.out, completed(kernelSteps() + rootfsSteps()) + "2.0\r\n");
    EXPECT_EQ(r.log, logged(kernelLog() + rootfsLog()));
}

TEST_F(FlashBoardTest, AThirdFieldIsIgnored)
{
    manifest("zImage," + checkSum(kKernel) + ",extra,fields\n" + "Version,3.1,beta\n");
    unit.writeImage("zImage", kKernel);
    const SandboxResult r = onCard({"-f", "-g"});
    EXPECT_EQ(r.out, completed(kernelSteps()) + "3.1\n");
}

TEST_F(FlashBoardTest, ALowerCaseVersionLineIsNoVersion)
{
    manifest("version,9.9\n" + kernelLine());
    const SandboxResult r = onCard({"-f", "-g"});
    EXPECT_EQ(r.out, completed(kernelSteps()) + "\n");
}

TEST_F(FlashBoardTest, OfTwoVersionLinesTheLaterCounts)
{
    manifest("Version,1.0\n" + kernelLine() + "Version,1.1\n");
    const SandboxResult r = onCard({"-f", "-g"});
    EXPECT_EQ(r.out, completed(kernelSteps()) + "1.1\n");
}

TEST_F(FlashBoardTest, BlankLinesAndLinesWithoutACommaAreSkipped)
{
    manifest("\n# update package\n\r\n" + kernelLine() + "\n\nrootfs.squashfs\n" + rootfsLine());
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kernelSteps() + rootfsSteps()));
}

TEST_F(FlashBoardTest, AChecksumWithATrailingBlankVerifies)
{
    unit.writeImage("zImage", kKernel);
    manifest("zImage," + checkSum(kKernel) + " \n");
    EXPECT_EQ(onCard({"-f"}).out, completed(kernelSteps()));
}

TEST_F(FlashBoardTest, AZeroLengthImageVerifiesAgainstEmpty)
{
    manifest("var.jffs2,EMPTY\n");
    unit.writeImage("var.jffs2", "");
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(eraseStep("/dev/mtd8") + writeStep("var.jffs2", "/dev/mtd8", 0)));
    EXPECT_TRUE(unit.readPartition(8) == flashedWith(""));
}

// Verification digests the image itself, not a file that the image's
// content happens to name.
TEST_F(FlashBoardTest, AnImageWhoseContentIsAPathIsCheckedByItsOwnBytes)
{
    manifest("zImage," + checkSum(UnitSandbox::readFile("/etc/hostname")) + "\n");
    unit.writeImage("zImage", "/etc/hostname");
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: zImage\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

// --- packages that do not check out: nothing is touched -------------------------------

TEST_F(FlashBoardTest, OneImageWithAWrongChecksumRejectsThePackage)
{
    unit.writeImage("rootfs.squashfs", kRootfs);
    manifest(kernelLine() + "rootfs.squashfs," + checkSum(kRootfs + "tampered") + "\n");
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: rootfs.squashfs\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(r.exitStatus, 255);
    expectAllUntouched();
}

TEST_F(FlashBoardTest, EveryRejectedImageIsNamedInManifestOrder)
{
    std::string text = kernelLine();
    text += "uboot.bin," + checkSum("missing") + "\n";
    text += "var.jffs2,\n";
    unit.writeImage("at91sam9g35ek.dtb", "dtb");
    std::string swapped = checkSum("dtb");
    swapped = swapped.substr(41) + "-" + swapped.substr(0, 40);
    text += "at91sam9g35ek.dtb," + swapped + "\n";
    manifest(text);
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: uboot.bin\nIMAGE REJECTED: var.jffs2\n"
                     "IMAGE REJECTED: at91sam9g35ek.dtb\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FlashBoardTest, AChecksumInUpperCaseDoesNotVerify)
{
    unit.writeImage("zImage", kKernel);
    std::string upper = checkSum(kKernel);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    manifest("zImage," + upper + "\n");
    EXPECT_EQ(onCard({"-f"}).out, "IMAGE REJECTED: zImage\nFLASH FAILED\n");
}

TEST_F(FlashBoardTest, NoCardPrintsTheCardMessageAndFails)
{
    manifest(kernelLine());
    const SandboxResult r = cardflash({"--card", "absent"}, {"-f"});
    EXPECT_EQ(r.out, "The sdcard is not available!324\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(r.exitStatus, 255);
    expectAllUntouched();
}

TEST_F(FlashBoardTest, AStaleMountWithoutACardIsDroppedAndTheFlashFails)
{
    manifest(kernelLine());
    const SandboxResult r = cardflash({"--card", "stale"}, {"-f"});
    EXPECT_EQ(r.out, "The sdcard is not available!324\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FlashBoardTest, ACardThatCannotBeMountedIsSaidSoAndTheFlashFails)
{
    manifest(kernelLine());
    const SandboxResult r = cardflash({"--card", "present"}, {"-f"});
    EXPECT_EQ(r.out, "The sdcard could not be mounted!\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FlashBoardTest, NoManifestPrintsNoManifestAndFails)
{
    unit.writeImage("zImage", kKernel);
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "NO MANIFEST\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FlashBoardTest, AnEmptyManifestHasNothingToWriteAndFails)
{
    manifest("");
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "NO IMAGE TO WRITE\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FlashBoardTest, AManifestOfOnlyUnmappedImagesHasNothingToWrite)
{
    manifest("Version,1.0\n" + image("readme.txt", "hello"));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "NO IMAGE TO WRITE\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
}

// --- failing utilities: the sequence goes on, locks, and fails --------------------------

TEST_F(FlashBoardTest, AFailingEraseIsReportedTheWriteStillRunsAndTheFlashFails)
{
    manifest(kernelLine() + rootfsLine());
    const SandboxResult r =
        cardflash({"--card", "mounted", "--fail", "flash_erase:/dev/mtd4"}, {"-f"});
    EXPECT_EQ(r.out, std::string(kUnlockLine) + "Erasing /dev/mtd4\n" + kFailedStatus +
                         writeStep("zImage", "/dev/mtd4", kKernel.size()) + rootfsSteps() +
                         kLockLine + "FLASH FAILED\n");
    EXPECT_EQ(r.log,
              logged(eraseLog("/dev/mtd4", 1) + writeLog("zImage", "/dev/mtd4") + rootfsLog()));
    EXPECT_NE(r.err.find("MTD Erase failure"), std::string::npos) << r.err;
}

TEST_F(FlashBoardTest, AFailingWriteIsReportedTheSequenceGoesOnAndTheFlashFails)
{
    manifest(kernelLine() + rootfsLine());
    const SandboxResult r = cardflash({"--card", "mounted", "--fail", "flashcp:/dev/mtd4"}, {"-f"});
    EXPECT_EQ(r.out, std::string(kUnlockLine) + eraseStep("/dev/mtd4") +
                         "Writing zImage to /dev/mtd4\n" + kFailedStatus + rootfsSteps() +
                         kLockLine + "FLASH FAILED\n");
    EXPECT_EQ(r.log,
              logged(eraseLog("/dev/mtd4") + writeLog("zImage", "/dev/mtd4", 1) + rootfsLog()));
    EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs));
}

TEST_F(FlashBoardTest, AnImageThatVanishesAfterVerificationFailsTheFlash)
{
    manifest(kernelLine());
    const SandboxResult r =
        cardflash({"--card", "mounted", "--hook", "flash_erase:rm -f /images/zImage"}, {"-f"});
    EXPECT_EQ(r.out, std::string(kUnlockLine) + eraseStep("/dev/mtd4") +
                         "Writing zImage to /dev/mtd4\n" + kFailedStatus + kLockLine +
                         "FLASH FAILED\n");
}

TEST_F(FlashBoardTest, AnImageChangedAfterVerificationIsRejectedAfterItsWrite)
{
    manifest(kernelLine() + rootfsLine());
    const SandboxResult r = cardflash(
        {"--card", "mounted", "--hook", "flash_unlock:printf tampered > /images/zImage"}, {"-f"});
    EXPECT_EQ(r.out, kUnlockLine + eraseStep("/dev/mtd4") +
                         writeStep("zImage", "/dev/mtd4", std::string("tampered").size()) +
                         "IMAGE REJECTED: zImage\n" + rootfsSteps() + kLockLine + "FLASH FAILED\n");
    EXPECT_EQ(r.log, logged(kernelLog() + rootfsLog()));
}

TEST_F(FlashBoardTest, AFolderInPlaceOfAnImageIsNoEmptyImage)
{
    manifest("zImage,EMPTY\n");
    unit.writeImage("zImage/inside", "x");
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: zImage\nFLASH FAILED\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FlashBoardTest, FailingLockUtilitiesDoNotFailTheFlash)
{
    manifest(kernelLine());
    const SandboxResult r =
        cardflash({"--card", "mounted", "--fail", "flash_unlock", "--fail", "flash_lock"}, {"-f"});
    EXPECT_EQ(r.out, completed(kernelSteps()));
    EXPECT_EQ(r.log, "flash_unlock /dev/mtd5 0 900 -> 255\n" + kernelLog() +
                         "flash_lock /dev/mtd5 0 900 -> 255\n");
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
}

} // namespace
} // namespace cardflash_test
