// The command line of cardflash: which arguments act, in which order, what
// the help and checksum options print, and the exit status of a run.
#include "cardflash_fixture.h"

namespace cardflash_test
{
namespace
{

const char* const kHelp =
    "-i or --install to install\n"
    "-c or --calcsums filename to calculate sums\n"
    "-f or --flashboard in order to flash the board\n"
    "-v or --verifySDCard in order to make sure the SD Card is valid for update\n"
    "-g or --getVersionToUpdate in order to extract the version from the file\n"
    "-u, -B or --uninstallBootstrap in order to remove the bootstrap\n";

const char* const kNoFileName =
    "You have not provided a file name for me to provide a checksum for.\n";
const char* const kNotUpdated = "Application not updated!\n";

class CommandLineTest : public CardflashTest
{
};

// --- arguments that do nothing ---------------------------------------------------

TEST_F(CommandLineTest, NoArgumentsPrintNothingAndExitWith255)
{
    const SandboxResult r = onCard({});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(CommandLineTest, UnknownArgumentsAreIgnoredSilently)
{
    manifest(image("zImage", "kernel"));
    const SandboxResult r = onCard({"-x", "--flash", "f", "-F", "--help=1", "-B", "", "-c=zImage"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(r.exitStatus, 255);
    expectAllUntouched();
}

TEST_F(CommandLineTest, BundledOptionLettersDoNothing)
{
    manifest(image("zImage", "kernel"));
    const SandboxResult r = onCard({"-fv", "-hf", "-ub"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(r.exitStatus, 255);
    expectAllUntouched();
}

// --- help ------------------------------------------------------------------------

TEST_F(CommandLineTest, ShortHelpPrintsTheSixLinesAndExitsWith255)
{
    const SandboxResult r = onCard({"-h"});
    EXPECT_EQ(r.out, kHelp);
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(CommandLineTest, HelpGivenTwicePrintsItTwice)
{
    const SandboxResult r = onCard({"--help", "-h"});
    EXPECT_EQ(r.out, std::string(kHelp) + kHelp);
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(CommandLineTest, ArgumentsAfterHelpAreStillActedOn)
{
    unit.writeImage("zImage", "kernel");
    const SandboxResult r = onCard({"--help", "-c", "/images/zImage"});
    EXPECT_EQ(r.out, std::string(kHelp) + "/images/zImage, " + checkSum("kernel") + "\n");
    EXPECT_EQ(r.exitStatus, 0);
}

// --- checksums -------------------------------------------------------------------

TEST_F(CommandLineTest, CalcsumsWithoutAFileNameSaysSoAndExitsWith255)
{
    const SandboxResult r = onCard({"-c"});
    EXPECT_EQ(r.out, kNoFileName);
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(CommandLineTest, CalcsumsPrintsTheNameAndTheChecksumTextOfTheFile)
{
    const std::string content = "line one\nline two\r\n";
    unit.writeImage("rootfs.squashfs", content);
    const SandboxResult r = onCard({"--calcsums", "/images/rootfs.squashfs"});
    EXPECT_EQ(r.out, "/images/rootfs.squashfs, " + checkSum(content) + "\n");
    EXPECT_EQ(r.exitStatus, 0);
}

TEST_F(CommandLineTest, CalcsumsOfANameThatIsNoFileDigestsTheNameItself)
{
    const SandboxResult r = onCard({"-c", "no such file"});
    EXPECT_EQ(r.out, "no such file, " + checkSum("no such file") + "\n");
    EXPECT_EQ(r.exitStatus, 0);
}

TEST_F(CommandLineTest, CalcsumsOfAnEmptyFileIsEmpty)
{
    unit.writeImage("empty", "");
    const SandboxResult r = onCard({"-c", "/images/empty"});
    EXPECT_EQ(r.out, "/images/empty, EMPTY\n");
    EXPECT_EQ(r.exitStatus, 0);
}

// --- exit status of option sequences --------------------------------------------

TEST_F(CommandLineTest, CalcsumsWithANameThenAFailingInstallExitsWith255)
{
    const SandboxResult r = cardflash({"--card", "absent"}, {"-c", "abc", "-i"});
    EXPECT_EQ(r.out, "abc, " + checkSum("abc") + "\n" + kNotUpdated);
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(CommandLineTest, AFailingInstallThenCalcsumsWithANameExitsWith0)
{
    const SandboxResult r = cardflash({"--card", "absent"}, {"-i", "-c", "abc"});
    EXPECT_EQ(r.out, kNotUpdated + ("abc, " + checkSum("abc") + "\n"));
    EXPECT_EQ(r.exitStatus, 0);
}

TEST_F(CommandLineTest, TheLastChecksumActionDecidesTheExitStatus)
{
    EXPECT_EQ(onCard({"-c", "abc", "-c"}).exitStatus, 255);
    EXPECT_EQ(onCard({"-c", "-c", "abc"}).exitStatus, 0);
}

TEST_F(CommandLineTest, CalcsumsDoesNotConsumeItsFileNameSoANameThatIsAnOptionActs)
{
    const std::string kernel = "kernel image\n";
    manifest(image("zImage", kernel));
    const SandboxResult r = onCard({"-c", "-f"});
    EXPECT_EQ(r.out, "-f, " + checkSum("-f") + "\n" + kUnlockLine + eraseStep("/dev/mtd4") +
                         writeStep("zImage", "/dev/mtd4", kernel.size()) + kLockLine +
                         "FLASH COMPLETE\n");
    EXPECT_EQ(r.log,
              kUnlockLog + eraseLog("/dev/mtd4") + writeLog("zImage", "/dev/mtd4") + kLockLog);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kernel));
}

TEST_F(CommandLineTest, FlashThenVerifyActsTwiceInCommandLineOrder)
{
    const std::string kernel = "kernel";
    manifest("Version,5.0\n" + image("zImage", kernel));
    const SandboxResult r = onCard({"-f", "-v", "--getVersionToUpdate"});
    EXPECT_EQ(r.out, kUnlockLine + eraseStep("/dev/mtd4") +
                         writeStep("zImage", "/dev/mtd4", kernel.size()) + kLockLine +
                         "FLASH COMPLETE\nFLASH\n5.0\n");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(CommandLineTest, FlashingGivenTwiceFlashesTwice)
{
    const std::string kernel = "kernel";
    manifest(image("zImage", kernel));
    const SandboxResult r = onCard({"-f", "--flashboard"});
    const std::string once = kUnlockLine + eraseStep("/dev/mtd4") +
                             writeStep("zImage", "/dev/mtd4", kernel.size()) + kLockLine +
                             "FLASH COMPLETE\n";
    EXPECT_EQ(r.out, once + once);
    const std::string logOnce =
        kUnlockLog + eraseLog("/dev/mtd4") + writeLog("zImage", "/dev/mtd4") + kLockLog;
    EXPECT_EQ(r.log, logOnce + logOnce);
}

} // namespace
} // namespace cardflash_test
