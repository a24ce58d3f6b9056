#include "filesystem.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace
{

namespace fs = std::filesystem;

// A scratch directory per test, removed afterwards; the working directory
// is put back as well, since some operations under test change it.
class FileSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/filesystem_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_startDirectory = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(m_startDirectory);
        fs::remove_all(m_dir);
    }
    std::string write(const std::string& name, const std::string& content)
    {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::vector<std::string> lines(const std::string& content)
    {
        std::vector<std::string> result;
        for (const StdString& line : m_files.openFileInLines(write("lines", content).c_str())) {
            result.push_back(line);
        }
        return result;
    }
    std::vector<std::string> split(const std::string& text, const std::string& delimiter)
    {
        std::vector<std::string> result;
        for (const StdString& item :
             m_files.splitDelimitedString(text.c_str(), delimiter.c_str())) {
            result.push_back(item);
        }
        return result;
    }

    FileSystem m_files;
    std::string m_dir;
    fs::path m_startDirectory;
};

using Lines = std::vector<std::string>;

TEST_F(FileSystemTest, FileExistsForFilesDirectoriesAndUnreadableFiles)
{
    const std::string file = write("plain", "x");
    fs::permissions(file, fs::perms::none);
    EXPECT_TRUE(m_files.fileExists(file));
    EXPECT_TRUE(m_files.fileExists(m_dir));
    EXPECT_TRUE(m_files.fileExists("/dev/null"));
}

TEST_F(FileSystemTest, FileExistsIsFalseForMissingPathsAndTheEmptyPath)
{
    EXPECT_FALSE(m_files.fileExists(m_dir + "/missing"));
    EXPECT_FALSE(m_files.fileExists(m_dir + "/missing/below"));
    EXPECT_FALSE(m_files.fileExists(""));
}

TEST_F(FileSystemTest, FileExistsTakesNamesWithBlanksUnchanged)
{
    write("name with blanks", "x");
    EXPECT_TRUE(m_files.fileExists(m_dir + "/name with blanks"));
    EXPECT_FALSE(m_files.fileExists(m_dir + "/name"));
}

TEST_F(FileSystemTest, FileExistsResolvesRelativePathsAgainstTheWorkingDirectory)
{
    write("relative", "x");
    ASSERT_TRUE(FileSystem::setCurrentDirectory(m_dir.c_str()));
    EXPECT_TRUE(m_files.fileExists("relative"));
    EXPECT_TRUE(m_files.fileExists("./relative"));
}

TEST_F(FileSystemTest, SetCurrentDirectoryChangesWhatGetCurrentDirectoryReports)
{
    ASSERT_TRUE(FileSystem::setCurrentDirectory(m_dir.c_str()));
    EXPECT_EQ(std::string(m_files.getCurrentDirectory()), fs::canonical(m_dir).string());
    EXPECT_EQ(fs::current_path(), fs::canonical(m_dir));
}

TEST_F(FileSystemTest, SetCurrentDirectoryToAMissingDirectoryFailsAndChangesNothing)
{
    ASSERT_TRUE(FileSystem::setCurrentDirectory(m_dir.c_str()));
    EXPECT_FALSE(FileSystem::setCurrentDirectory((m_dir + "/missing").c_str()));
    EXPECT_FALSE(FileSystem::setCurrentDirectory(write("file", "x").c_str()));
    EXPECT_FALSE(FileSystem::setCurrentDirectory(""));
    EXPECT_EQ(std::string(m_files.getCurrentDirectory()), fs::canonical(m_dir).string());
}

TEST_F(FileSystemTest, GetCurrentDirectoryGivesErrorWhenThePathDoesNotFitItsBuffer)
{
    // Build a working directory whose absolute path is longer than 4096 bytes.
    ASSERT_TRUE(FileSystem::setCurrentDirectory(m_dir.c_str()));
    const std::string component(200, 'd');
    for (int depth = 0; depth < 25; ++depth) {
        ASSERT_TRUE(fs::create_directory(component));
        ASSERT_TRUE(FileSystem::setCurrentDirectory(component.c_str()));
    }
    EXPECT_EQ(std::string(m_files.getCurrentDirectory()), "ERROR");
    // Paths this long are beyond what the scratch clean-up can remove.
    for (int depth = 0; depth < 25; ++depth) {
        ASSERT_TRUE(FileSystem::setCurrentDirectory(".."));
        ASSERT_TRUE(fs::remove(component));
    }
}

TEST_F(FileSystemTest, OpenFileConcatenatesLinesWithoutTheirLineFeeds)
{
    EXPECT_EQ(m_files.openFile(write("ab", "a\n\nb")), "ab");
    EXPECT_EQ(m_files.openFile(write("abc", "abc\n")), "abc");
    EXPECT_EQ(m_files.openFile(write("only-feeds", "\n\n\n")), "");
    EXPECT_EQ(m_files.openFile(write("empty", "")), "");
}

TEST_F(FileSystemTest, OpenFileKeepsCarriageReturnsAndZeroBytes)
{
    const std::string content("x\r\ny\0z\n\0", 8);
    EXPECT_EQ(m_files.openFile(write("binary", content)), std::string("x\ry\0z\0", 6));
}

TEST_F(FileSystemTest, OpenFileKeepsEveryByteValueButTheLineFeed)
{
    std::string content;
    std::string expected;
    for (int value = 0; value < 256; ++value) {
        content += static_cast<char>(value);
        if (value != '\n') {
            expected += static_cast<char>(value);
        }
    }
    EXPECT_EQ(m_files.openFile(write("all-bytes", content)), expected);
}

TEST_F(FileSystemTest, OpenFileOfAFileThatCannotBeOpenedGivesTheErrorText)
{
    EXPECT_EQ(m_files.openFile(m_dir + "/missing"), "ERROR:CANNOT OPEN FILE");
    EXPECT_EQ(m_files.openFile(m_dir + "/missing/below"), "ERROR:CANNOT OPEN FILE");
    EXPECT_EQ(m_files.openFile(""), "ERROR:CANNOT OPEN FILE");
}

TEST_F(FileSystemTest, OpenFileOfADirectoryReadsNothing)
{
    EXPECT_EQ(m_files.openFile(m_dir), "");
}

TEST_F(FileSystemTest, OpenFileOfASocketGivesTheErrorText)
{
    // Opening a socket fails for every user, root included: an existing
    // path that cannot be opened.
    const std::string path = m_dir + "/socket";
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_TRUE(m_files.fileExists(path));
    EXPECT_EQ(m_files.openFile(path), "ERROR:CANNOT OPEN FILE");
    EXPECT_TRUE(m_files.openFileInLines(path.c_str()).empty());
    close(socketFd);
}

TEST_F(FileSystemTest, OpenFileTakesNamesWithBlanks)
{
    EXPECT_EQ(m_files.openFile(write("my image file", "content\n")), "content");
}

TEST_F(FileSystemTest, OpenFileInLinesKeepsEmptyLinesBetweenLineFeeds)
{
    EXPECT_EQ(lines("a\n\nb"), (Lines{"a", "", "b"}));
}

TEST_F(FileSystemTest, OpenFileInLinesKeepsTheCarriageReturnAtALineEnd)
{
    EXPECT_EQ(lines("x\r\n"), (Lines{"x\r"}));
}

TEST_F(FileSystemTest, OpenFileInLinesAddsNoEntryForAFinalLineFeed)
{
    EXPECT_EQ(lines("one\ntwo\n"), (Lines{"one", "two"}));
    EXPECT_EQ(lines("one\ntwo\n\n"), (Lines{"one", "two", ""}));
    EXPECT_EQ(lines("one\ntwo"), (Lines{"one", "two"}));
    EXPECT_EQ(lines("\n"), (Lines{""}));
}

TEST_F(FileSystemTest, OpenFileInLinesOfAnEmptyFileIsEmpty)
{
    EXPECT_TRUE(lines("").empty());
}

TEST_F(FileSystemTest, OpenFileInLinesOfAMissingPathIsEmpty)
{
    EXPECT_TRUE(m_files.openFileInLines((m_dir + "/missing").c_str()).empty());
    EXPECT_TRUE(m_files.openFileInLines("").empty());
}

TEST_F(FileSystemTest, OpenFileInLinesOfADirectoryIsEmpty)
{
    EXPECT_TRUE(m_files.openFileInLines(m_dir.c_str()).empty());
}

TEST_F(FileSystemTest, OpenFileInLinesCutsALineAtItsFirstZeroByte)
{
    EXPECT_EQ(lines(std::string("ab\0cd\nef", 8)), (Lines{"ab", "ef"}));
}

TEST_F(FileSystemTest, OpenFileInLinesReadsALongLineWhole)
{
    const std::string longLine(100000, 'q');
    EXPECT_EQ(lines(longLine + "\nend"), (Lines{longLine, "end"}));
}

TEST_F(FileSystemTest, SplitSeparatesAtEveryDelimiterCharacter)
{
    EXPECT_EQ(split(",a,,b,", ","), (Lines{"", "a", "", "b", ""}));
    EXPECT_EQ(split("p=q;r", "=;"), (Lines{"p", "q", "r"}));
    EXPECT_EQ(split("name,sum", ","), (Lines{"name", "sum"}));
}

TEST_F(FileSystemTest, SplitTreatsTheDelimiterAsASetNotASequence)
{
    EXPECT_EQ(split("a;=b", "=;"), (Lines{"a", "", "b"}));
    EXPECT_EQ(split("a=;b", "=;"), (Lines{"a", "", "b"}));
}

TEST_F(FileSystemTest, SplitOfAnEmptyTextGivesOneEmptyItem)
{
    EXPECT_EQ(split("", ","), (Lines{""}));
}

TEST_F(FileSystemTest, SplitWithAnEmptyDelimiterGivesTheWholeText)
{
    EXPECT_EQ(split("a,b", ""), (Lines{"a,b"}));
}

TEST_F(FileSystemTest, SplitWithoutADelimiterInTheTextGivesTheWholeText)
{
    EXPECT_EQ(split("abc", ","), (Lines{"abc"}));
}

TEST_F(FileSystemTest, SplitSeesATextOnlyUpToItsFirstZeroByte)
{
    // The text arrives by value, and a copy of a StdString ends at its first NUL.
    StdString text;
    text.assign(std::string("ab\0c,d", 6));
    EXPECT_EQ(text.size(), 6u);
    std::vector<StdString> items = m_files.splitDelimitedString(text, ",");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(std::string(items[0]), "ab");
}

} // namespace
