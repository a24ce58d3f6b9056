// "cardflash -f" on the sandboxed unit: what is written where, in which
// order, and that a package which does not check out as a whole leaves the
// flash untouched. Failing utilities and a world that changes during the
// flash are rows of the fault matrix.
#include "cardflash_fixture.h"

#include <cctype>

namespace cardflash_test
{
namespace
{

using FlashBoardTest = CardflashTest;

std::string withCarriageReturn(const std::string& line)
{
    return line.substr(0, line.size() - 1) + "\r\n";
}

// --- what is written, and in which order -------------------------------------------

TEST_F(FlashBoardTest, TwoVerifiedImagesAreWrittenInManifestOrder)
{
    manifest("Version,1.0\n" + image(kKernel) + image(kRootfs));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kKernel.steps() + kRootfs.steps()));
    EXPECT_EQ(r.log, logged(kKernel.log() + kRootfs.log()));
    EXPECT_EQ(r.exitStatus, 255);
    expectPartitions({{4, flashedWith(kKernel.content)}, {5, flashedWith(kRootfs.content)}});
}

TEST_F(FlashBoardTest, TheSameImagesListedTheOtherWayRoundAreWrittenTheOtherWayRound)
{
    manifest(image(kRootfs) + image(kKernel));
    const SandboxResult r = onCard({"--flashboard"});
    EXPECT_EQ(r.out, completed(kRootfs.steps() + kKernel.steps()));
    EXPECT_EQ(r.log, logged(kRootfs.log() + kKernel.log()));
    expectPartitions({{4, flashedWith(kKernel.content)}, {5, flashedWith(kRootfs.content)}});
}

TEST_F(FlashBoardTest, AnImageListedTwiceIsErasedAndWrittenTwice)
{
    manifest(image(kKernel) + image(kRootfs) + image(kKernel));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kKernel.steps() + kRootfs.steps() + kKernel.steps()));
    EXPECT_EQ(r.log, logged(kKernel.log() + kRootfs.log() + kKernel.log()));
}

// bootstrap.bin goes to mtd0; mtd2 takes no image.
TEST_F(FlashBoardTest, EveryImageOfThePackageReachesItsOwnPartition)
{
    const std::vector<Image> images = {
        {"bootstrap.bin", 0, ""},        {"uboot.bin", 1, ""},
        {"at91sam9g35ek.dtb", 3, ""},    {"zImage", 4, ""},
        {"rootfs.squashfs", 5, ""},      {"usr_share_lumo.jffs2", 6, ""},
        {"usr_share_jail.jffs2", 7, ""}, {"var.jffs2", 8, ""},
    };
    std::string text, steps, log;
    std::map<int, std::string> partitions;
    for (Image i : images) {
        i.content = "content of " + i.name;
        text += image(i);
        steps += i.steps();
        log += i.log();
        partitions[i.mtd] = flashedWith(i.content);
    }
    manifest(text);
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(steps));
    EXPECT_EQ(r.log, logged(log));
    expectPartitions(partitions);
}

TEST_F(FlashBoardTest, VerifiedNamesOutsideThePartitionMapAreSkippedSilently)
{
    manifest(image("readme.txt", "read me") + image(kKernel) + image("Version", "not a version") +
             image("lumoTarBall.tar.gz.old", "x"));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kKernel.steps()));
    EXPECT_EQ(r.log, logged(kKernel.log()));
}

// --- manifest forms ------------------------------------------------------------------

TEST_F(FlashBoardTest, AManifestWithCarriageReturnsStillVerifiesAndFlashes)
{
    manifest("Version,2.0\r\n" + withCarriageReturn(image(kKernel)) +
             withCarriageReturn(image(kRootfs)));
    const SandboxResult r = onCard({"-f", "-g"});
    EXPECT_EQ(r.out, completed(kKernel.steps() + kRootfs.steps()) + "2.0\r\n");
    EXPECT_EQ(r.log, logged(kKernel.log() + kRootfs.log()));
}

// Each manifest with its version, as "-f -g" shows them after flashing the kernel.
TEST_F(FlashBoardTest, ExtraFieldsAndBadVersionLinesStillFlashTheImage)
{
    const std::string kernel = image(kKernel);
    const std::string checked = kernel.substr(0, kernel.size() - 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {checked + ",,fields\nVersion,3.1,beta\n", "3.1\n"}, // an empty third field, then more
        {"version,9.9\n" + kernel, "\n"},                         // lower case is no version
        {"Version,1.0\n" + kernel + "Version,1.1\n", "1.1\n"},    // the later one counts
        {checked + " \n", "\n"}, // a checksum with a trailing blank verifies
    };
    for (const auto& entry : cases) {
        manifest(entry.first);
        const SandboxResult r = onCard({"-f", "-g"});
        EXPECT_EQ(r.out, completed(kKernel.steps()) + entry.second) << entry.first;
        EXPECT_EQ(r.log, logged(kKernel.log())) << entry.first;
    }
}

TEST_F(FlashBoardTest, BlankLinesAndLinesWithoutACommaAreSkipped)
{
    manifest("\n# update package\n\r\n" + image(kKernel) + "\n\nrootfs.squashfs\n" +
             image(kRootfs));
    EXPECT_EQ(onCard({"-f"}).out, completed(kKernel.steps() + kRootfs.steps()));
}

TEST_F(FlashBoardTest, AZeroLengthImageVerifiesAgainstEmpty)
{
    manifest("var.jffs2,EMPTY\n");
    unit.writeImage("var.jffs2", "");
    EXPECT_EQ(onCard({"-f"}).out, completed(Image{"var.jffs2", 8, ""}.steps()));
    expectPartitions({{8, flashedWith("")}});
}

// Verification digests the image itself, not a file that the image's
// content happens to name.
TEST_F(FlashBoardTest, AnImageWhoseContentIsAPathIsCheckedByItsOwnBytes)
{
    manifest("zImage," + checkSum(UnitSandbox::readFile("/etc/hostname")) + "\n");
    unit.writeImage("zImage", "/etc/hostname");
    expectNothingWritten(onCard({"-f"}), rejected("zImage") + kFlashFailed);
}

// --- packages that do not check out: nothing is touched -------------------------------

TEST_F(FlashBoardTest, OneImageWithAWrongChecksumRejectsThePackage)
{
    unit.writeImage(kRootfs.name, kRootfs.content);
    manifest(image(kKernel) + "rootfs.squashfs," + checkSum(kRootfs.content + "x") + "\n");
    expectNothingWritten(onCard({"-f"}), rejected("rootfs.squashfs") + kFlashFailed);
}

TEST_F(FlashBoardTest, EveryRejectedImageIsNamedInManifestOrder)
{
    unit.writeImage("at91sam9g35ek.dtb", "dtb");
    std::string swapped = checkSum("dtb");
    swapped = swapped.substr(41) + "-" + swapped.substr(0, 40);
    std::string upper = checkSum("lumo");
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    unit.writeImage("usr_share_lumo.jffs2", "lumo");
    manifest(image(kKernel) + "uboot.bin," + checkSum("missing") + "\nvar.jffs2,\n" +
             "at91sam9g35ek.dtb," + swapped + "\nusr_share_lumo.jffs2," + upper + "\n");
    expectNothingWritten(onCard({"-f"}), rejected("uboot.bin") + rejected("var.jffs2") +
                                             rejected("at91sam9g35ek.dtb") +
                                             rejected("usr_share_lumo.jffs2") + kFlashFailed);
}

TEST_F(FlashBoardTest, NoCardPrintsTheCardMessageAndFails)
{
    manifest(image(kKernel));
    expectNothingWritten(cardflash({"--card", "absent"}, {"-f"}), kNoCard + kFlashFailed);
}

TEST_F(FlashBoardTest, AStaleMountWithoutACardIsDroppedAndTheFlashFails)
{
    manifest(image(kKernel));
    expectNothingWritten(cardflash({"--card", "stale"}, {"-f"}), kNoCard + kFlashFailed);
}

TEST_F(FlashBoardTest, ACardThatCannotBeMountedIsSaidSoAndTheFlashFails)
{
    manifest(image(kKernel));
    expectNothingWritten(cardflash({"--card", "present"}, {"-f"}),
                         "The sdcard could not be mounted!\n" + kFlashFailed);
}

TEST_F(FlashBoardTest, NoManifestPrintsNoManifestAndFails)
{
    unit.writeImage(kKernel.name, kKernel.content);
    expectNothingWritten(onCard({"-f"}), "NO MANIFEST\n" + kFlashFailed);
}

TEST_F(FlashBoardTest, AManifestOfOnlyUnmappedImagesHasNothingToWrite)
{
    manifest("Version,1.0\n" + image("readme.txt", "hello"));
    expectNothingWritten(onCard({"-f"}), kNothingToWrite);
}

} // namespace
} // namespace cardflash_test
