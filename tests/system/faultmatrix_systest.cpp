// The fault matrix: one named test per fault, each run of "cardflash -f" (or
// "-i") stated whole: transcript, call log, every partition, exit status.
// The display completes on "FLASH COMPLETE", so no row may print it unless
// every partition holds its verified image. The package of most rows:
// uboot.bin (first, mtd1), zImage (mtd4), rootfs.squashfs (last, mtd5).
#include "cardflash_fixture.h"

#include <random>

namespace cardflash_test
{
namespace
{

const std::size_t kEraseBlock = 64 * 1024;

class FaultMatrixTest : public CardflashTest
{
protected:
    // The three images in place and the manifest naming them.
    std::string package() const
    {
        return "Version,3.1\n" + image(kBoot) + image(kKernel) + image(kRootfs);
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

    // Every partition of the package holds its image, unless `instead` says otherwise.
    std::map<int, std::string> written(const std::map<int, std::string>& instead = {}) const
    {
        std::map<int, std::string> partitions = instead;
        for (const Image* i : {&kBoot, &kKernel, &kRootfs}) {
            partitions.insert({i->mtd, flashedWith(i->content)});
        }
        return partitions;
    }

    // The rule of the whole matrix.
    void expectNoFalseCompletion(const SandboxResult& r) const
    {
        if (r.out.find("FLASH COMPLETE") != std::string::npos) {
            EXPECT_TRUE(unit.readPartition(1) == flashedWith(kBoot.content) &&
                        unit.readPartition(4) == flashedWith(kKernel.content) &&
                        unit.readPartition(5) == flashedWith(kRootfs.content))
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

    // The package flashed with these unit-sandbox options.
    SandboxResult flashPackage(const std::vector<std::string>& options) const
    {
        manifest(package());
        return flash(options);
    }

    // A run with this transcript and log that left the partitions `partitions`.
    void expectRow(const SandboxResult& r, const std::string& out, const std::string& log,
                   const std::map<int, std::string>& partitions) const
    {
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.log, log);
        expectPartitions(partitions);
    }

    // A run that wrote the whole package, given the unlock and lock statuses.
    void expectPackageWritten(const SandboxResult& r, int unlock = 0, int lock = 0) const
    {
        expectRow(r, completed(kBoot.steps() + kKernel.steps() + kRootfs.steps()),
                  logged(kBoot.log() + kKernel.log() + kRootfs.log(), unlock, lock), written());
    }
};

// --- the flash utilities fail --------------------------------------------------------------

TEST_F(FaultMatrixTest, UnlockFailingBeforeTheFirstImageIsIgnored)
{
    expectPackageWritten(flashPackage({"--fail", "flash_unlock"}), 255, 0);
}

TEST_F(FaultMatrixTest, UnlockFailingOnThePartitionOfTheLastImageIsIgnored)
{
    expectPackageWritten(flashPackage({"--fail", "flash_unlock:/dev/mtd5"}), 255, 0);
}

TEST_F(FaultMatrixTest, LockFailingAfterTheLastImageIsIgnored)
{
    expectPackageWritten(flashPackage({"--fail", "flash_lock"}), 0, 255);
}

// The sequence goes on after a failed step and still locks.
TEST_F(FaultMatrixTest, EraseFailingForTheFirstImageFailsTheFlash)
{
    const SandboxResult r = flashPackage({"--fail", "flash_erase:/dev/mtd1"});
    expectRow(r, failed(kBoot.steps(1) + kKernel.steps() + kRootfs.steps()),
              logged(kBoot.log(1) + kKernel.log() + kRootfs.log()),
              written({{1, writtenWithoutErase(kBoot.content)}}));
    EXPECT_NE(r.err.find("MTD Erase failure"), std::string::npos) << r.err;
}

TEST_F(FaultMatrixTest, EraseFailingForTheLastImageFailsTheFlash)
{
    expectRow(flashPackage({"--fail", "flash_erase:/dev/mtd5"}),
              failed(kBoot.steps() + kKernel.steps() + kRootfs.steps(1)),
              logged(kBoot.log() + kKernel.log() + kRootfs.log(1)),
              written({{5, writtenWithoutErase(kRootfs.content)}}));
}

TEST_F(FaultMatrixTest, WriteFailingForTheFirstImageFailsTheFlash)
{
    expectRow(flashPackage({"--fail", "flashcp:/dev/mtd1"}),
              failed(kBoot.steps(0, 1) + kKernel.steps() + kRootfs.steps()),
              logged(kBoot.log(0, 1) + kKernel.log() + kRootfs.log()), written({{1, erased()}}));
}

TEST_F(FaultMatrixTest, WriteFailingForTheLastImageFailsTheFlash)
{
    expectRow(flashPackage({"--fail", "flashcp:/dev/mtd5"}),
              failed(kBoot.steps() + kKernel.steps() + kRootfs.steps(0, 1)),
              logged(kBoot.log() + kKernel.log() + kRootfs.log(0, 1)), written({{5, erased()}}));
}

// --- the world changes between verification and writing ------------------------------------

TEST_F(FaultMatrixTest, AnImageRemovedAfterVerificationFailsTheFlash)
{
    expectRow(flashPackage({"--hook", "flash_unlock:rm -f /images/zImage"}),
              failed(kBoot.steps() + kKernel.steps(0, 1) + kRootfs.steps()),
              logged(kBoot.log() + kKernel.log(0, 1) + kRootfs.log()), written({{4, erased()}}));
}

// flashcp writes what /images holds when it runs: the tampered kernel is
// written, then found not to be the verified image and reported.
TEST_F(FaultMatrixTest, AnImageChangedAfterVerificationIsRejectedAndFailsTheFlash)
{
    const Image tampered{"zImage", 4, "tampered"};
    expectRow(flashPackage({"--hook", "flash_unlock:printf tampered > /images/zImage"}),
              failed(kBoot.steps() + tampered.steps() + rejected("zImage") + kRootfs.steps()),
              logged(kBoot.log() + kKernel.log() + kRootfs.log()),
              written({{4, flashedWith(tampered.content)}}));
}

// The images come from /images, not from the card, so the flash is whole;
// the display, which watches the manifest on the card, shows the failure
// message anyway from the moment the card is gone.
TEST_F(FaultMatrixTest, TheCardRemovedAfterVerificationLeavesTheImagesToWrite)
{
    expectPackageWritten(
        flashPackage({"--hook", "flash_unlock:umount /mnt/sd-card && rmdir /sys/block/mmcblk0"}));
}

// --- bad manifests ---------------------------------------------------------------------------

TEST_F(FaultMatrixTest, AnUnreadableManifestHasNothingToWrite)
{
    package();
    mkdir((unit.sdDir() + "/lumoManifest").c_str(), 0755);
    expectNothingWritten(flash({}), kNothingToWrite);
}

TEST_F(FaultMatrixTest, AnEmptyManifestHasNothingToWrite)
{
    package();
    manifest("");
    expectNothingWritten(flash({}), kNothingToWrite);
}

TEST_F(FaultMatrixTest, ATenMebibyteLineAmongThePackageLinesIsSkipped)
{
    const std::string lines = package();
    const std::size_t afterVersion = lines.find('\n') + 1;
    manifest(lines.substr(0, afterVersion) + std::string(5 << 20, 'a') + "," +
             std::string(5 << 20, 'b') + "\n" + lines.substr(afterVersion));
    expectPackageWritten(flash({}));
}

TEST_F(FaultMatrixTest, AHundredThousandLineManifestStillWritesItsPackage)
{
    std::string text = package();
    for (int i = 4; i < 100000; ++i) {
        text += "filler line " + std::to_string(i) + " without a comma\n";
    }
    manifest(text);
    expectPackageWritten(flash({}));
}

TEST_F(FaultMatrixTest, ABinaryManifestHasNothingToWrite)
{
    package();
    // Every byte but '/' and '.', so that no name is a path to reject.
    std::mt19937 generator(7);
    std::string junk;
    while (junk.size() < 256 * 1024) {
        const char c = static_cast<char>(generator() % 256);
        if (c != '/' && c != '.') {
            junk += c;
        }
    }
    manifest(junk);
    expectNothingWritten(flash({}), kNothingToWrite);
}

// --- bad images and a bad system -----------------------------------------------------------

TEST_F(FaultMatrixTest, AnUnreadableImageRejectsThePackage)
{
    manifest(package());
    std::remove((unit.imagesDir() + "/zImage").c_str());
    mkdir((unit.imagesDir() + "/zImage").c_str(), 0755);
    expectNothingWritten(flash({}), rejected("zImage") + kFlashFailed);
}

// A folder is no empty image, whatever its manifest line says.
TEST_F(FaultMatrixTest, AnUnreadableImageListedAsEmptyRejectsThePackage)
{
    manifest("Version,3.1\n" + image(kBoot) + "zImage,EMPTY\n" + image(kRootfs));
    mkdir((unit.imagesDir() + "/zImage").c_str(), 0755);
    expectNothingWritten(flash({}), rejected("zImage") + kFlashFailed);
}

TEST_F(FaultMatrixTest, WithoutAMountTableTheCardCannotBeReadAndNothingIsWritten)
{
    manifest(package());
    expectNothingWritten(flash({"--no-mtab"}), "The sdcard could not be mounted!\n" + kFlashFailed);
}

// --- the unit's application misbehaves during an install -----------------------------------

class InstallFaultTest : public CardflashTest
{
protected:
    // Installs a tar-ball package with `application` as the unit's
    // TestTessaron, then shows the unpacked file.
    SandboxResult installWith(const std::string& application) const
    {
        manifest("Version,4.0\n" + tarBall());
        const std::string standIn = unit.root() + "/application";
        UnitSandbox::writeFileAt(standIn, application);
        chmod(standIn.c_str(), 0755);
        return unit.runShell({"--card", "mounted", "--cardflash", CARDFLASH_BINARY, "--ro-bind",
                              standIn, "/usr/share/lumo/bin/TestTessaron"},
                             std::string(kTool) +
                                 " -i; echo \"status $?\"; cat /usr/share/lumo/app/new.txt");
    }

    // Both versions are the stand-in's; the flash is not touched.
    void expectUpdated(const SandboxResult& r, const std::string& version) const
    {
        EXPECT_EQ(r.out, "Application succesfully updated!\nFrom version: " + version +
                             "\nTo version: " + version +
                             "\nPLEASE REMOVE YOUR SD CARD\nThen reboot your system.\n\n"
                             "status 0\nunpacked\n");
        EXPECT_EQ(r.log, "");
        expectPartitions();
    }
};

TEST_F(InstallFaultTest, AnApplicationThatHangsOnVersionIsWaitedFor)
{
    expectUpdated(installWith("#!/bin/sh\nsleep 2\necho 1.0.0\n"), "1.0.0");
}

TEST_F(InstallFaultTest, AnApplicationThatPrintsAMebibyteGivesItsFirstEightCharacters)
{
    expectUpdated(
        installWith(
            "#!/bin/sh\nprintf 2.0.0-rc1\nhead -c 1048576 /dev/zero | tr '\\000' x\necho\n"),
        "2.0.0-rc");
}

} // namespace
} // namespace cardflash_test
