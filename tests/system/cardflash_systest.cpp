// The command line of cardflash: which arguments act, in which order, what
// the help and checksum options print, and the exit status of a run.
#include "cardflash_fixture.h"

namespace cardflash_test
{
namespace
{

const std::string kHelp =
    "-i or --install to install\n"
    "-c or --calcsums filename to calculate sums\n"
    "-f or --flashboard in order to flash the board\n"
    "-v or --verifySDCard in order to make sure the SD Card is valid for update\n"
    "-g or --getVersionToUpdate in order to extract the version from the file\n"
    "-u, -B or --uninstallBootstrap in order to remove the bootstrap\n";

const std::string kNoFileName =
    "You have not provided a file name for me to provide a checksum for.\n";

class CommandLineTest : public CardflashTest
{
protected:
    // Arguments that must do nothing at all, with a package on the card.
    void expectNoAction(const std::vector<std::string>& args) const
    {
        manifest(image(kKernel));
        const SandboxResult r = onCard(args);
        EXPECT_EQ(r.err, "");
        expectNothingWritten(r, "");
    }

    void expectOutput(const SandboxResult& r, const std::string& out, int status) const
    {
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.exitStatus, status) << r.err;
    }

    std::string sumLine(const std::string& name, const std::string& content) const
    {
        return name + ", " + checkSum(content) + "\n";
    }
};

// --- arguments that do nothing ---------------------------------------------------

TEST_F(CommandLineTest, NoArgumentsPrintNothingAndExitWith255)
{
    expectNoAction({});
}

TEST_F(CommandLineTest, UnknownArgumentsAreIgnoredSilently)
{
    expectNoAction({"-x", "--flash", "f", "-F", "--help=1", "-B", "", "-c=zImage"});
}

TEST_F(CommandLineTest, BundledOptionLettersDoNothing)
{
    expectNoAction({"-fv", "-hf", "-ub"});
}

// --- help and checksums ----------------------------------------------------------

TEST_F(CommandLineTest, HelpPrintsTheSixLinesEachTimeItIsGivenAndExitsWith255)
{
    expectOutput(onCard({"-h"}), kHelp, 255);
    expectOutput(onCard({"--help", "-h"}), kHelp + kHelp, 255);
}

TEST_F(CommandLineTest, ArgumentsAfterHelpAreStillActedOn)
{
    unit.writeImage("zImage", "kernel");
    expectOutput(onCard({"--help", "-c", "/images/zImage"}),
                 kHelp + sumLine("/images/zImage", "kernel"), 0);
}

TEST_F(CommandLineTest, CalcsumsWithoutAFileNameSaysSoAndExitsWith255)
{
    expectOutput(onCard({"-c"}), kNoFileName, 255);
}

// A name that is no file is digested itself; an empty file is "EMPTY".
TEST_F(CommandLineTest, CalcsumsPrintsTheNameAndTheChecksumTextOfTheFile)
{
    unit.writeImage("rootfs.squashfs", "line one\nline two\r\n");
    unit.writeImage("empty", "");
    expectOutput(onCard({"--calcsums", "/images/rootfs.squashfs"}),
                 sumLine("/images/rootfs.squashfs", "line one\nline two\r\n"), 0);
    expectOutput(onCard({"-c", "no such file"}), sumLine("no such file", "no such file"), 0);
    expectOutput(onCard({"-c", "/images/empty"}), "/images/empty, EMPTY\n", 0);
}

// --- option sequences --------------------------------------------------------------

// The exit status is that of the last checksum action: 0 when it had a name.
TEST_F(CommandLineTest, TheLastChecksumActionDecidesTheExitStatus)
{
    const std::string abc = sumLine("abc", "abc");
    expectOutput(cardflash({"--card", "absent"}, {"-c", "abc", "-i"}), abc + kNotUpdated, 255);
    expectOutput(cardflash({"--card", "absent"}, {"-i", "-c", "abc"}), kNotUpdated + abc, 0);
    expectOutput(onCard({"-c", "abc", "-c"}), abc + kNoFileName, 255);
    expectOutput(onCard({"-c", "-c", "abc"}), sumLine("-c", "-c") + abc, 0);
}

TEST_F(CommandLineTest, CalcsumsDoesNotConsumeItsFileNameSoANameThatIsAnOptionActs)
{
    manifest(image(kKernel));
    const SandboxResult r = onCard({"-c", "-f"});
    EXPECT_EQ(r.out, sumLine("-f", "-f") + completed(kKernel.steps()));
    EXPECT_EQ(r.log, logged(kKernel.log()));
    EXPECT_EQ(r.exitStatus, 0);
    expectPartitions({{4, flashedWith(kKernel.content)}});
}

TEST_F(CommandLineTest, FlashThenVerifyActsTwiceInCommandLineOrder)
{
    manifest("Version,5.0\n" + image(kKernel));
    expectOutput(onCard({"-f", "-v", "--getVersionToUpdate"}),
                 completed(kKernel.steps()) + "FLASH\n5.0\n", 255);
}

TEST_F(CommandLineTest, FlashingGivenTwiceFlashesTwice)
{
    manifest(image(kKernel));
    const SandboxResult r = onCard({"-f", "--flashboard"});
    EXPECT_EQ(r.out, completed(kKernel.steps()) + completed(kKernel.steps()));
    EXPECT_EQ(r.log, logged(kKernel.log()) + logged(kKernel.log()));
}

} // namespace
} // namespace cardflash_test
