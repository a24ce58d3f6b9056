#include "filesystem.h"

#include "UnitTest.h"

#include <unistd.h>

namespace
{

namespace fs = std::filesystem;
using Cases = std::vector<std::pair<std::string, std::string>>;

// Every item in brackets, so that a whole list fits one table cell.
std::string bracketed(const std::vector<StdString>& items)
{
    std::string text;
    for (const StdString& item : items) {
        text += "[" + std::string(item) + "]";
    }
    return text;
}

class FileSystemTest : public TempDirTest
{
protected:
    std::string lines(const std::string& content)
    {
        return bracketed(m_files.openFileInLines(write("lines", content).c_str()));
    }
    std::string split(const char* text, const char* delimiter)
    {
        return bracketed(m_files.splitDelimitedString(text, delimiter));
    }

    FileSystem m_files;
};

TEST_F(FileSystemTest, FileExistsForEveryExistingPathEvenUnreadableOrRelative)
{
    fs::permissions(write("plain", "x"), fs::perms::none);
    write("name with blanks", "x");
    EXPECT_TRUE(m_files.fileExists(path("plain")));
    EXPECT_TRUE(m_files.fileExists(m_dir));
    EXPECT_TRUE(m_files.fileExists("/dev/null"));
    EXPECT_TRUE(m_files.fileExists(path("name with blanks")));
    ASSERT_TRUE(FileSystem::setCurrentDirectory(m_dir.c_str()));
    EXPECT_TRUE(m_files.fileExists("plain"));
    EXPECT_TRUE(m_files.fileExists("./plain"));
    for (const std::string& missing : {path("name"), path("missing/below"), std::string()}) {
        EXPECT_FALSE(m_files.fileExists(missing)) << missing;
    }
}

TEST_F(FileSystemTest, SetCurrentDirectoryChangesItOnlyToAnExistingDirectory)
{
    const std::string canonical = fs::canonical(m_dir).string();
    ASSERT_TRUE(FileSystem::setCurrentDirectory(m_dir.c_str()));
    EXPECT_EQ(fs::current_path(), canonical);
    EXPECT_FALSE(FileSystem::setCurrentDirectory(path("missing").c_str()));
    EXPECT_FALSE(FileSystem::setCurrentDirectory(write("file", "x").c_str()));
    EXPECT_FALSE(FileSystem::setCurrentDirectory(""));
    EXPECT_EQ(std::string(m_files.getCurrentDirectory()), canonical);
}

TEST_F(FileSystemTest, GetCurrentDirectoryGivesErrorWhenThePathDoesNotFitItsBuffer)
{
    // A working directory whose absolute path is longer than 4096 bytes.
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

TEST_F(FileSystemTest, OpenFileKeepsEveryByteButTheLineFeed)
{
    std::string content;
    std::string expected;
    for (int value = 0; value < 256; ++value) {
        content += static_cast<char>(value);
        expected += value == '\n' ? "" : std::string(1, static_cast<char>(value));
    }
    const Cases cases = {
        {m_files.openFile(write("ab", "a\n\nb")), "ab"},
        {m_files.openFile(write("my image file", "abc\n")), "abc"},
        {m_files.openFile(write("only-feeds", "\n\n\n")), ""},
        {m_files.openFile(write("empty", "")), ""},
        {m_files.openFile(write("binary", std::string("x\r\ny\0z\n\0", 8))), {"x\ry\0z\0", 6}},
        {m_files.openFile(write("all-bytes", content)), expected}};
    expectCases(cases);
}

TEST_F(FileSystemTest, APathThatCannotBeOpenedGivesTheErrorTextOrNoLines)
{
    const int socketFd = bindSocket("socket");
    EXPECT_TRUE(m_files.fileExists(path("socket")));
    for (const std::string& unopenable :
         {path("missing"), path("missing/below"), std::string(), path("socket")}) {
        EXPECT_EQ(m_files.openFile(unopenable), "ERROR:CANNOT OPEN FILE") << unopenable;
        EXPECT_EQ(bracketed(m_files.openFileInLines(unopenable.c_str())), "") << unopenable;
    }
    close(socketFd);
    EXPECT_EQ(m_files.openFile(m_dir), "") << "a directory reads as nothing";
    EXPECT_EQ(bracketed(m_files.openFileInLines(m_dir.c_str())), "");
}

TEST_F(FileSystemTest, OpenFileInLinesSplitsAtLineFeedsAndEndsALineAtAZeroByte)
{
    // A final line feed adds no entry.
    const std::string longLine(100000, 'q');
    const Cases cases = {{lines("a\n\nb"), "[a][][b]"},
                         {lines("x\r\n"), "[x\r]"},
                         {lines("one\ntwo\n"), "[one][two]"},
                         {lines("one\ntwo\n\n"), "[one][two][]"},
                         {lines("one\ntwo"), "[one][two]"},
                         {lines("\n"), "[]"},
                         {lines(""), ""},
                         {lines(std::string("ab\0cd\nef", 8)), "[ab][ef]"},
                         {lines(longLine + "\nend"), "[" + longLine + "][end]"}};
    expectCases(cases);
}

TEST_F(FileSystemTest, SplitSeparatesAtEveryCharacterOfTheDelimiterSet)
{
    const Cases cases = {{split(",a,,b,", ","), "[][a][][b][]"},
                         {split("p=q;r", "=;"), "[p][q][r]"},
                         {split("a;=b", "=;"), "[a][][b]"},
                         {split("a=;b", "=;"), "[a][][b]"},
                         {split("", ","), "[]"},
                         {split("a,b", ""), "[a,b]"},
                         {split("abc", ","), "[abc]"}};
    expectCases(cases);
}

TEST_F(FileSystemTest, SplitSeesATextOnlyUpToItsFirstZeroByte)
{
    // The text arrives by value, and a copy of a StdString ends at its first NUL.
    StdString text;
    text.assign(std::string("ab\0c,d", 6));
    EXPECT_EQ(bracketed(m_files.splitDelimitedString(text, ",")), "[ab]");
}

} // namespace
