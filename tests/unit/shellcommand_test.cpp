#include "shellcommand.h"

#include "UnitTest.h"

namespace
{

using ShellCommandTest = TempDirTest;

TEST_F(ShellCommandTest, RunShellCommandWaitsAndGivesTheUndecodedWaitStatus)
{
    EXPECT_EQ(runShellCommand("true"), 0);
    EXPECT_EQ(runShellCommand("exit 3"), 3 << 8);
    runShellCommand(StdString(("sleep 0.2; echo done > " + path("marker")).c_str()));
    EXPECT_EQ(readFile(path("marker")), "done\n");
}

TEST(GetStdOut, GivesAtMostEightCharactersOfTheOutputUpToANul)
{
    const struct {
        const char* command;
        const char* output;
    } cases[] = {
        {"printf '12345678\\n'", "12345678"},
        {"printf 'ab\\n'", "ab\n"},
        {"echo 1.2.3-beta-build-7", "1.2.3-be"},
        {"printf 'ab\\000cdefgh'", "ab"},
        {"printf 'a\\nb\\nc\\nd\\ne\\n'", "a\nb\nc\nd\n"},
        {"true", ""},
        {"/nonexistent/program --version 2>/dev/null", ""},
        {"sh -c 'echo 7.1; exit 4'", "7.1\n"}, // a failing command still has its output
        // Read back through getStdOut's own descriptor, not by the file's name.
        {"sh -c 'echo 5.0; rm -f \"$(readlink /proc/$$/fd/1)\"'", "5.0\n"},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(getStdOut(item.command), item.output) << item.command;
    }
}

TEST_F(ShellCommandTest, EveryCallCapturesIntoAFreshTemporaryFileThatIsGoneAfterwards)
{
    // The command reports the file its output goes to through descriptor 3.
    std::string captureFiles[2];
    for (std::string& captureFile : captureFiles) {
        const std::string command =
            "sh -c 'echo \"$(readlink /proc/$$/fd/1)\" >&3; echo v1' 3>" + path("capture-name");
        EXPECT_EQ(getStdOut(command.c_str()), "v1\n");
        captureFile = readFile(path("capture-name"));
        ASSERT_FALSE(captureFile.empty());
        captureFile.pop_back();
        EXPECT_EQ(captureFile.rfind("/tmp/", 0), 0u) << captureFile;
        EXPECT_FALSE(std::filesystem::exists(captureFile)) << captureFile;
    }
    EXPECT_NE(captureFiles[0], captureFiles[1]);
}

} // namespace
