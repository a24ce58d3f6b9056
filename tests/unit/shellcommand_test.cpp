#include "shellcommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// A folder of the test's own, for files that commands leave behind.
class ShellCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "shellcommand.XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        m_dir = pattern;
    }

    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string readFile(const std::string& name) const
    {
        std::ifstream in(m_dir + "/" + name);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_dir;
};

// --- runShellCommand -----------------------------------------------------------

TEST_F(ShellCommandTest, RunShellCommandGivesZeroForASucceedingCommand)
{
    EXPECT_EQ(runShellCommand("true"), 0);
}

TEST_F(ShellCommandTest, RunShellCommandGivesTheUndecodedWaitStatus)
{
    const int status = runShellCommand("exit 3");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(status, 3 << 8);
}

TEST_F(ShellCommandTest, RunShellCommandWaitsForTheCommandToEnd)
{
    runShellCommand(StdString(("sleep 0.2; echo done > " + m_dir + "/marker").c_str()));
    EXPECT_EQ(readFile("marker"), "done\n");
}

// --- getStdOut: the 8-character rule ---------------------------------------------

TEST_F(ShellCommandTest, EightCharactersAndALineBreakGiveTheEightCharacters)
{
    EXPECT_EQ(getStdOut("printf '12345678\\n'"), "12345678");
}

TEST_F(ShellCommandTest, TwoCharactersAndALineBreakKeepTheLineBreak)
{
    EXPECT_EQ(getStdOut("printf 'ab\\n'"), "ab\n");
}

TEST_F(ShellCommandTest, TextAfterTheEighthCharacterIsDropped)
{
    EXPECT_EQ(getStdOut("echo 1.2.3-beta-build-7"), "1.2.3-be");
}

TEST_F(ShellCommandTest, ANulByteEndsTheCapturedText)
{
    EXPECT_EQ(getStdOut("printf 'ab\\000cdefgh'"), "ab");
}

TEST_F(ShellCommandTest, OutputOfSeveralLinesIsCapturedLineBreaksIncluded)
{
    EXPECT_EQ(getStdOut("printf 'a\\nb\\nc\\nd\\ne\\n'"), "a\nb\nc\nd\n");
}

// --- getStdOut: nothing to capture -------------------------------------------------

TEST_F(ShellCommandTest, ACommandThatPrintsNothingGivesAnEmptyText)
{
    EXPECT_EQ(getStdOut("true"), "");
}

TEST_F(ShellCommandTest, AMissingCommandGivesAnEmptyText)
{
    EXPECT_EQ(getStdOut("/nonexistent/program --version 2>/dev/null"), "");
}

TEST_F(ShellCommandTest, AFailingCommandStillHasItsOutputCaptured)
{
    EXPECT_EQ(getStdOut("sh -c 'echo 7.1; exit 4'"), "7.1\n");
}

// --- getStdOut: the temporary file ---------------------------------------------------

// The command reports the file its output goes to through descriptor 3, so
// the test learns the name that getStdOut chose.
TEST_F(ShellCommandTest, TheTemporaryFileIsFreshAndGoneAfterTheCall)
{
    const std::string side = m_dir + "/capture-name";
    const std::string command =
        "sh -c 'f=$(readlink /proc/$$/fd/1); echo \"$f\" >&3; echo v1' 3>" + side;
    EXPECT_EQ(getStdOut(command.c_str()), "v1\n");
    std::string captureFile = readFile("capture-name");
    ASSERT_FALSE(captureFile.empty());
    captureFile.pop_back();
    EXPECT_EQ(captureFile.rfind("/tmp/", 0), 0u) << captureFile;
    EXPECT_FALSE(std::filesystem::exists(captureFile)) << captureFile;
}

TEST_F(ShellCommandTest, EveryCallUsesANewTemporaryFile)
{
    const std::string first = m_dir + "/first";
    const std::string second = m_dir + "/second";
    const std::string reportName = "sh -c 'f=$(readlink /proc/$$/fd/1); echo \"$f\" >&3' 3>";
    getStdOut((reportName + first).c_str());
    getStdOut((reportName + second).c_str());
    EXPECT_NE(readFile("first"), "");
    EXPECT_NE(readFile("first"), readFile("second"));
}

// What is read back is the file that getStdOut created, through its own
// descriptor, not whatever bears its name afterwards.
TEST_F(ShellCommandTest, OutputIsCapturedEvenWhenTheCommandRemovesTheFileByName)
{
    const std::string command = "sh -c 'echo 5.0; rm -f \"$(readlink /proc/$$/fd/1)\"'";
    EXPECT_EQ(getStdOut(command.c_str()), "5.0\n");
}

} // namespace
