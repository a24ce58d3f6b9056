// The fault matrix: one named test per fault, each run of "cardflash -f" (or
// "-i") on the sandboxed unit stated whole: the transcript on standard
// output, the stand-ins' call log, the content of every partition and the
// exit status. The display acts on the transcript's last line: "FLASH
// COMPLETE" shows the completion page, anything else does not. So in every
// row "FLASH COMPLETE" may only come last when every partition holds its
// verified image.
//
// The package of most rows: uboot.bin (first, mtd1), zImage (mtd4),
// rootfs.squashfs (last, mtd5, the partition that is unlocked and locked).
#include "cardflash_fixture.h"

#include <random>
#include <sys/stat.h>

namespace cardflash_test
{
namespace
{

const std::string kBoot(1000, 'u');
const std::string kKernel = "kernel image\nof the fault matrix\n";
const std::string kRootfs(70000, 'r'); // two erase blocks
const std::size_t kEraseBlock = 64 * 1024;

const char* const kComplete = "FLASH COMPLETE\n";
const char* const kFailed = "FLASH FAILED\n";
const char* const kNothingToWrite = "NO IMAGE TO WRITE\nFLASH FAILED\n";

std::string lastLine(std::string transcript)
{
    if (!transcript.empty() && transcript.back() == '\n') {
        transcript.pop_back();
    }
    const std::size_t lineFeed = transcript.rfind('\n');
    return lineFeed == std::string::npos ? transcript : transcript.substr(lineFeed + 1);
}

class FaultMatrixTest : public CardflashTest
{
protected:
    // The three images in place and the manifest naming them.
    std::string package() const
    {
        return "Version,3.1\n" + image("uboot.bin", kBoot) + image("zImage", kKernel) +
               image("rootfs.squashfs", kRootfs);
    }

    static std::string bootSteps()
    {
        return eraseStep("/dev/mtd1") + writeStep("uboot.bin", "/dev/mtd1", kBoot.size());
    }
    static std::string kernelSteps()
    {
        return eraseStep("/dev/mtd4") + writeStep("zImage", "/dev/mtd4", kKernel.size());
    }
    static std::string rootfsSteps()
    {
        return eraseStep("/dev/mtd5") + writeStep("rootfs.squashfs", "/dev/mtd5", kRootfs.size());
    }
    static std::string allSteps() { return bootSteps() + kernelSteps() + rootfsSteps(); }

    static std::string bootLog(int erase = 0, int write = 0)
    {
        return eraseLog("/dev/mtd1", erase) + writeLog("uboot.bin", "/dev/mtd1", write);
    }
    static std::string kernelLog(int erase = 0, int write = 0)
    {
        return eraseLog("/dev/mtd4", erase) + writeLog("zImage", "/dev/mtd4", write);
    }
    static std::string rootfsLog(int erase = 0, int write = 0)
    {
        return eraseLog("/dev/mtd5", erase) + writeLog("rootfs.squashfs", "/dev/mtd5", write);
    }

    static std::string logged(const std::string& steps, int unlock = 0, int lock = 0)
    {
        return "flash_unlock /dev/mtd5 0 900 -> " + std::to_string(unlock) + "\n" + steps +
               "flash_lock /dev/mtd5 0 900 -> " + std::to_string(lock) + "\n";
    }

    // An erase that failed, then flashcp, which erases only the blocks the
    // image needs: the rest of the partition keeps the old firmware.
    static std::string writtenWithoutErase(const std::string& image)
    {
        const std::size_t erased = (image.size() + kEraseBlock - 1) / kEraseBlock * kEraseBlock;
        return image + std::string(erased - image.size(), '\xff') +
               std::string(kPartitionSize - erased, kOldFirmware);
    }
    static std::string erased() { return std::string(kPartitionSize, '\xff'); }

    void expectPackageWritten() const
    {
        EXPECT_TRUE(unit.readPartition(1) == flashedWith(kBoot)) << "mtd1";
        EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel)) << "mtd4";
        EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs)) << "mtd5";
        expectUntouched({0, 2, 3, 6, 7, 8});
    }

    // The rule of the whole matrix.
    void expectNoFalseCompletion(const SandboxResult& r) const
    {
        if (lastLine(r.out) == "FLASH COMPLETE") {
            EXPECT_TRUE(unit.readPartition(1) == flashedWith(kBoot) &&
                        unit.readPartition(4) == flashedWith(kKernel) &&
                        unit.readPartition(5) == flashedWith(kRootfs))
                << "FLASH COMPLETE, but a partition does not hold its verified image";
        }
    }

    SandboxResult flash(std::vector<std::string> options) const
    {
        options.insert(options.begin(), {"--card", "mounted"});
        const SandboxResult r = cardflash(options, {"-f"});
        expectNoFalseCompletion(r);
        EXPECT_EQ(r.exitStatus, 255) << r.err;
        return r;
    }
};

// --- the flash utilities fail --------------------------------------------------------------

TEST_F(FaultMatrixTest, UnlockFailingBeforeTheFirstImageIsIgnored)
{
    manifest(package());
    const SandboxResult r = flash({"--fail", "flash_unlock"});
    EXPECT_EQ(r.out, kUnlockLine + allSteps() + kLockLine + kComplete);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog(), 255, 0));
    expectPackageWritten();
}

TEST_F(FaultMatrixTest, UnlockFailingOnThePartitionOfTheLastImageIsIgnored)
{
    manifest(package());
    const SandboxResult r = flash({"--fail", "flash_unlock:/dev/mtd5"});
    EXPECT_EQ(r.out, kUnlockLine + allSteps() + kLockLine + kComplete);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog(), 255, 0));
    expectPackageWritten();
}

TEST_F(FaultMatrixTest, LockFailingAfterTheLastImageIsIgnored)
{
    manifest(package());
    const SandboxResult r = flash({"--fail", "flash_lock"});
    EXPECT_EQ(r.out, kUnlockLine + allSteps() + kLockLine + kComplete);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog(), 0, 255));
    expectPackageWritten();
}

TEST_F(FaultMatrixTest, EraseFailingForTheFirstImageFailsTheFlash)
{
    manifest(package());
    const SandboxResult r = flash({"--fail", "flash_erase:/dev/mtd1"});
    EXPECT_EQ(r.out, std::string(kUnlockLine) + "Erasing /dev/mtd1\n" + kFailedStatus +
                         writeStep("uboot.bin", "/dev/mtd1", kBoot.size()) + kernelSteps() +
                         rootfsSteps() + kLockLine + kFailed);
    EXPECT_EQ(r.log, logged(bootLog(1) + kernelLog() + rootfsLog()));
    EXPECT_TRUE(unit.readPartition(1) == writtenWithoutErase(kBoot));
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
    EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs));
    expectUntouched({0, 2, 3, 6, 7, 8});
}

TEST_F(FaultMatrixTest, EraseFailingForTheLastImageFailsTheFlash)
{
    manifest(package());
    const SandboxResult r = flash({"--fail", "flash_erase:/dev/mtd5"});
    EXPECT_EQ(r.out, kUnlockLine + bootSteps() + kernelSteps() + "Erasing /dev/mtd5\n" +
                         kFailedStatus + writeStep("rootfs.squashfs", "/dev/mtd5", kRootfs.size()) +
                         kLockLine + kFailed);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog(1)));
    EXPECT_TRUE(unit.readPartition(1) == flashedWith(kBoot));
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
    EXPECT_TRUE(unit.readPartition(5) == writtenWithoutErase(kRootfs));
    expectUntouched({0, 2, 3, 6, 7, 8});
}

TEST_F(FaultMatrixTest, WriteFailingForTheFirstImageFailsTheFlash)
{
    manifest(package());
    const SandboxResult r = flash({"--fail", "flashcp:/dev/mtd1"});
    EXPECT_EQ(r.out, kUnlockLine + eraseStep("/dev/mtd1") + "Writing uboot.bin to /dev/mtd1\n" +
                         kFailedStatus + kernelSteps() + rootfsSteps() + kLockLine + kFailed);
    EXPECT_EQ(r.log, logged(bootLog(0, 1) + kernelLog() + rootfsLog()));
    EXPECT_TRUE(unit.readPartition(1) == erased());
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
    EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs));
    expectUntouched({0, 2, 3, 6, 7, 8});
}

TEST_F(FaultMatrixTest, WriteFailingForTheLastImageFailsTheFlash)
{
    manifest(package());
    const SandboxResult r = flash({"--fail", "flashcp:/dev/mtd5"});
    EXPECT_EQ(r.out, kUnlockLine + bootSteps() + kernelSteps() + eraseStep("/dev/mtd5") +
                         "Writing rootfs.squashfs to /dev/mtd5\n" + kFailedStatus + kLockLine +
                         kFailed);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog(0, 1)));
    EXPECT_TRUE(unit.readPartition(1) == flashedWith(kBoot));
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
    EXPECT_TRUE(unit.readPartition(5) == erased());
    expectUntouched({0, 2, 3, 6, 7, 8});
}

// --- the world changes between verification and writing ------------------------------------

TEST_F(FaultMatrixTest, AnImageRemovedAfterVerificationFailsTheFlash)
{
    manifest(package());
    const SandboxResult r = flash({"--hook", "flash_unlock:rm -f /images/zImage"});
    EXPECT_EQ(r.out, kUnlockLine + bootSteps() + eraseStep("/dev/mtd4") +
                         "Writing zImage to /dev/mtd4\n" + kFailedStatus + rootfsSteps() +
                         kLockLine + kFailed);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog(0, 1) + rootfsLog()));
    EXPECT_TRUE(unit.readPartition(1) == flashedWith(kBoot));
    EXPECT_TRUE(unit.readPartition(4) == erased());
    EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs));
    expectUntouched({0, 2, 3, 6, 7, 8});
}

// flashcp writes what /images holds when it runs: the tampered kernel is
// written, then found not to be the verified image and reported, and the
// flash fails.
TEST_F(FaultMatrixTest, AnImageChangedAfterVerificationIsRejectedAndFailsTheFlash)
{
    const std::string tampered = "tampered";
    manifest(package());
    const SandboxResult r =
        flash({"--hook", "flash_unlock:printf " + tampered + " > /images/zImage"});
    EXPECT_EQ(r.out, kUnlockLine + bootSteps() + eraseStep("/dev/mtd4") +
                         writeStep("zImage", "/dev/mtd4", tampered.size()) +
                         "IMAGE REJECTED: zImage\n" + rootfsSteps() + kLockLine + kFailed);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog()));
    EXPECT_TRUE(unit.readPartition(1) == flashedWith(kBoot));
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(tampered));
    EXPECT_TRUE(unit.readPartition(5) == flashedWith(kRootfs));
    expectUntouched({0, 2, 3, 6, 7, 8});
}

// The images come from /images, not from the card, so the flash is whole;
// the display, which watches the manifest on the card, shows the failure
// message anyway from the moment the card is gone.
TEST_F(FaultMatrixTest, TheCardRemovedAfterVerificationLeavesTheImagesToWrite)
{
    manifest(package());
    const SandboxResult r =
        flash({"--hook", "flash_unlock:umount /mnt/sd-card && rmdir /sys/block/mmcblk0"});
    EXPECT_EQ(r.out, kUnlockLine + allSteps() + kLockLine + kComplete);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog()));
    expectPackageWritten();
}

// --- bad manifests ---------------------------------------------------------------------------

TEST_F(FaultMatrixTest, AnUnreadableManifestHasNothingToWrite)
{
    package();
    mkdir((unit.sdDir() + "/lumoManifest").c_str(), 0755);
    const SandboxResult r = flash({});
    EXPECT_EQ(r.out, kNothingToWrite);
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FaultMatrixTest, AnEmptyManifestHasNothingToWrite)
{
    package();
    manifest("");
    const SandboxResult r = flash({});
    EXPECT_EQ(r.out, kNothingToWrite);
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FaultMatrixTest, ATenMebibyteLineAmongThePackageLinesIsSkipped)
{
    const std::string huge =
        std::string(5 * 1024 * 1024, 'a') + "," + std::string(5 * 1024 * 1024, 'b');
    const std::string lines = package();
    const std::size_t afterVersion = lines.find('\n') + 1;
    manifest(lines.substr(0, afterVersion) + huge + "\n" + lines.substr(afterVersion));
    const SandboxResult r = flash({});
    EXPECT_EQ(r.out, kUnlockLine + allSteps() + kLockLine + kComplete);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog()));
    expectPackageWritten();
}

TEST_F(FaultMatrixTest, AHundredThousandLineManifestStillWritesItsPackage)
{
    std::string text = package();
    const std::size_t packageLines = 4;
    for (std::size_t i = packageLines; i < 100000; ++i) {
        text += "filler line " + std::to_string(i) + " without a comma\n";
    }
    manifest(text);
    const SandboxResult r = flash({});
    EXPECT_EQ(r.out, kUnlockLine + allSteps() + kLockLine + kComplete);
    EXPECT_EQ(r.log, logged(bootLog() + kernelLog() + rootfsLog()));
    expectPackageWritten();
}

TEST_F(FaultMatrixTest, ABinaryManifestHasNothingToWrite)
{
    package();
    // Commas, NULs, carriage returns and every other byte, but no '/' and
    // no '.', so that no name is a path to reject.
    std::mt19937 generator(7);
    std::string junk;
    while (junk.size() < 256 * 1024) {
        const char c = static_cast<char>(generator() % 256);
        if (c != '/' && c != '.') {
            junk += c;
        }
    }
    manifest(junk);
    const SandboxResult r = flash({});
    EXPECT_EQ(r.out, kNothingToWrite);
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

// --- bad images and a bad system -----------------------------------------------------------

TEST_F(FaultMatrixTest, AnUnreadableImageRejectsThePackage)
{
    manifest(package());
    std::remove((unit.imagesDir() + "/zImage").c_str());
    mkdir((unit.imagesDir() + "/zImage").c_str(), 0755);
    const SandboxResult r = flash({});
    EXPECT_EQ(r.out, std::string("IMAGE REJECTED: zImage\n") + kFailed);
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

// A folder is no empty image, whatever its manifest line says.
TEST_F(FaultMatrixTest, AnUnreadableImageListedAsEmptyRejectsThePackage)
{
    manifest("Version,3.1\n" + image("uboot.bin", kBoot) + "zImage,EMPTY\n" +
             image("rootfs.squashfs", kRootfs));
    mkdir((unit.imagesDir() + "/zImage").c_str(), 0755);
    const SandboxResult r = flash({});
    EXPECT_EQ(r.out, std::string("IMAGE REJECTED: zImage\n") + kFailed);
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(FaultMatrixTest, WithoutAMountTableTheCardCannotBeReadAndNothingIsWritten)
{
    manifest(package());
    const SandboxResult r = flash({"--no-mtab"});
    EXPECT_EQ(r.out, std::string("The sdcard could not be mounted!\n") + kFailed);
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

// --- the unit's application misbehaves during an install -----------------------------------

class InstallFaultTest : public CardflashTest
{
protected:
    // A tar-ball package with one data file, and the manifest naming it.
    void tarBallPackage() const
    {
        const std::string staging = unit.root() + "/staging";
        UnitSandbox::writeFileAt(staging + "/usr/share/lumo/app/new.txt", "unpacked\n");
        const std::string tarBall = unit.sdDir() + "/lumoTarBall.tar.gz";
        ASSERT_EQ(std::system(("tar -C '" + staging + "' -czf '" + tarBall + "' usr").c_str()), 0);
        manifest("Version,4.0\nlumoTarBall.tar.gz," + checkSum(UnitSandbox::readFile(tarBall)) +
                 "\n");
    }

    // Installs with `application` as /usr/share/lumo/bin/TestTessaron, then
    // shows the unpacked file.
    SandboxResult installWith(const std::string& application) const
    {
        const std::string standIn = unit.root() + "/application";
        UnitSandbox::writeFileAt(standIn, application);
        chmod(standIn.c_str(), 0755);
        return unit.runShell({"--card", "mounted", "--cardflash", CARDFLASH_BINARY, "--ro-bind",
                              standIn, "/usr/share/lumo/bin/TestTessaron"},
                             std::string(kTool) +
                                 " -i; echo \"status $?\"; cat /usr/share/lumo/app/new.txt");
    }

    static std::string updated(const std::string& from, const std::string& to)
    {
        return "Application succesfully updated!\nFrom version: " + from + "\nTo version: " + to +
               "\nPLEASE REMOVE YOUR SD CARD\nThen reboot your system.\n\n";
    }
};

TEST_F(InstallFaultTest, AnApplicationThatHangsOnVersionIsWaitedFor)
{
    tarBallPackage();
    const SandboxResult r = installWith("#!/bin/sh\nsleep 2\necho 1.0.0\n");
    EXPECT_EQ(r.out, updated("1.0.0", "1.0.0") + "status 0\nunpacked\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(InstallFaultTest, AnApplicationThatPrintsAMebibyteGivesItsFirstEightCharacters)
{
    tarBallPackage();
    const SandboxResult r = installWith(
        "#!/bin/sh\nprintf 2.0.0-rc1\nhead -c 1048576 /dev/zero | tr '\\000' x\necho\n");
    EXPECT_EQ(r.out, updated("2.0.0-rc", "2.0.0-rc") + "status 0\nunpacked\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

} // namespace
} // namespace cardflash_test
