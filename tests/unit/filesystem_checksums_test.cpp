#include "filesystem.h"

#include "UnitTest.h"

#include <cstdio>
#include <sstream>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;
using namespace std::string_literals;

// What an empty content gives, and independently published digests.
const std::string kEmpty = "EMPTY";
const std::string kAbcSha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";
const std::string kAbcMd5 = "900150983cd24fb0d6963f7d28e17f72";
const std::string kAbcSums = kAbcSha1 + "-" + kAbcMd5;
const std::string kEmptyMessageSha1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";
const std::string kEmptyMessageMd5 = "d41d8cd98f00b204e9800998ecf8427e";
const std::string kEmptyMessageSums = kEmptyMessageSha1 + "-" + kEmptyMessageMd5;
// sha1sum and md5sum of the 22 characters ERROR:CANNOT OPEN FILE.
const std::string kCannotOpenSums =
    "2312d7d5362997d4f2760e7c5342643ce48ad1d7-a9705bef805c30db94ae508b06421c4e";
// sha1sum and md5sum of abc followed by a carriage return.
const std::string kAbcReturnSums =
    "7010c9151c034f86e125e9530cd43a0b29e6f69b-8ae0dd80d1260fd836d8dd1624fed14e";

class ChecksumTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        fs::current_path(m_dir);
    }
    std::string fileSums(const std::string& content)
    {
        return m_files.getCheckSums(write("file", content));
    }
    std::string textSums(const std::string& text)
    {
        return std::string(m_files.getSHA1SUM(text)) + "-" + std::string(m_files.getMD5SUM(text));
    }
    // The checksum text as it is defined: the content read whole, then digested in memory.
    std::string inMemorySums(const std::string& file)
    {
        const std::string content = m_files.openFile(file);
        return content.empty() ? kEmpty : textSums(content);
    }
    std::string streamed(const std::string& content, std::size_t blockSize)
    {
        std::istringstream input(content);
        return streamedCheckSums(input, blockSize);
    }

    FileSystem m_files;
};

// Content whose line feeds and zero byte sit at and around multiples of
// blockSize, so that every kind of block edge is crossed.
std::string boundaryContent(std::size_t blockSize, std::size_t zeroAt)
{
    const std::size_t length = 3 * blockSize + 7;
    std::string content;
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t inBlock = i % blockSize;
        const bool lineFeed = inBlock == 0 || inBlock == blockSize - 1;
        content += lineFeed ? '\n' : static_cast<char>('a' + i % 26);
    }
    if (zeroAt < length) {
        content[zeroAt] = '\0';
    }
    return content;
}

// The digest that a command such as sha1sum prints first.
std::string shellOutput(const std::string& command)
{
    char buffer[128] = {};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe != nullptr) {
        static_cast<void>(fgets(buffer, sizeof buffer, pipe) != nullptr);
        pclose(pipe);
    }
    const std::string output(buffer);
    return output.substr(0, output.find(' '));
}

TEST_F(ChecksumTest, DigestsMatchPublishedVectorsAndStopAtTheFirstZeroByte)
{
    EXPECT_EQ(std::string(m_files.getSHA1SUM("abc")), kAbcSha1);
    EXPECT_EQ(std::string(m_files.getMD5SUM("abc")), kAbcMd5);
    EXPECT_EQ(std::string(m_files.getSHA1SUM("")), kEmptyMessageSha1);
    EXPECT_EQ(std::string(m_files.getMD5SUM("")), kEmptyMessageMd5);
    EXPECT_EQ(textSums("abc\0def"s), kAbcSums);
}

TEST_F(ChecksumTest, AFileIsDigestedWithoutLineFeedsUpToItsFirstZeroByte)
{
    for (const std::string& content :
         {"abc\n"s, "abc"s, "a\nb\nc\n"s, "\n\na\n\nbc"s, "abc\0one"s, "ab\nc\0two\0"s}) {
        EXPECT_EQ(fileSums(content), kAbcSums) << content;
    }
    for (const std::string& content : {""s, "\n"s, "\n\n\n\n"s}) {
        EXPECT_EQ(fileSums(content), kEmpty) << content;
    }
    EXPECT_EQ(fileSums("\0abc"s), kEmptyMessageSums);
    EXPECT_EQ(fileSums("\n\n\0"s), kEmptyMessageSums);
    EXPECT_EQ(fileSums("abc\r\n"), kAbcReturnSums) << "carriage returns are digested";
}

TEST_F(ChecksumTest, ATextThatIsNoPathIsDigestedItselfLineFeedsIncluded)
{
    EXPECT_EQ(m_files.getCheckSums("abc"), kAbcSums);
    EXPECT_EQ(m_files.getCheckSums(path("missing")), textSums(path("missing")));
    EXPECT_EQ(m_files.getCheckSums("a\nbc"), textSums("a\nbc"));
    EXPECT_EQ(m_files.getCheckSums("\0abc"s), kEmptyMessageSums);
    EXPECT_EQ(m_files.getCheckSums(""), "EMPTY");
}

TEST_F(ChecksumTest, AnExistingPathIsDigestedAsAFileWhateverItsName)
{
    write("abc", "other content");
    EXPECT_EQ(m_files.getCheckSums("abc"), inMemorySums(path("abc")));
    write("my image file.bin", "abc\n");
    EXPECT_EQ(m_files.getCheckSums("my image file.bin"), kAbcSums);
    EXPECT_EQ(m_files.getCheckSums(path("my image file.bin")), kAbcSums);
    EXPECT_EQ(m_files.getCheckSums(m_dir), "EMPTY") << "a directory has nothing to digest";
}

TEST_F(ChecksumTest, AFileThatCannotBeOpenedGivesTheSumsOfTheErrorText)
{
    const int socketFd = bindSocket("socket");
    EXPECT_EQ(m_files.getCheckSums(path("socket")), kCannotOpenSums);
    EXPECT_EQ(m_files.getFileCheckSums(path("socket")), kCannotOpenSums);
    close(socketFd);
    // getFileCheckSums never digests its argument as text.
    EXPECT_EQ(m_files.getFileCheckSums("abc"), kCannotOpenSums);
    EXPECT_EQ(m_files.getFileCheckSums(""), kCannotOpenSums);
    EXPECT_EQ(m_files.getFileCheckSums(write("abc-file", "a\nbc\n")), kAbcSums);
}

TEST_F(ChecksumTest, ALargeBinaryFileMatchesShaAndMdSumsOfItsBytesWithoutLineFeeds)
{
    std::string content;
    for (std::size_t i = 0; content.size() < 3 * kCheckSumBlockSize + 123; ++i) {
        content += (i % 61 == 0) ? '\n' : static_cast<char>(1 + i % 255);
    }
    const std::string stripped = "tr -d '\\n' < '" + write("large", content) + "' | ";
    const std::string expected =
        shellOutput(stripped + "sha1sum") + "-" + shellOutput(stripped + "md5sum");
    ASSERT_EQ(expected.size(), 73u);
    EXPECT_EQ(m_files.getCheckSums(path("large")), expected);
}

TEST_F(ChecksumTest, StreamingEqualsInMemoryForAnyBlockSize)
{
    for (std::size_t contentBlock : {1u, 2u, 3u, 7u, 64u}) {
        for (std::size_t zeroAt :
             {std::size_t(1000), 2 * contentBlock, contentBlock - 1, std::size_t(0)}) {
            const std::string content = boundaryContent(contentBlock, zeroAt);
            const std::string expected = inMemorySums(write("content", content));
            for (std::size_t readBlock : {1u, 2u, 3u, 7u, 64u, 4096u}) {
                EXPECT_EQ(streamed(content, readBlock), expected)
                    << "content block " << contentBlock << ", zero at " << zeroAt << ", read block "
                    << readBlock;
            }
        }
    }
    EXPECT_EQ(streamed("", 4), "EMPTY");
    EXPECT_EQ(streamed(std::string(10, '\n'), 4), "EMPTY");
    EXPECT_EQ(streamed("\n\n\n\n\0"s, 4), kEmptyMessageSums);
    EXPECT_EQ(streamed("a\nbc", 0), kAbcSums) << "a block size of zero is accepted";
}

TEST_F(ChecksumTest, HugeOrEndlessInputIsDigestedOnlyUpToItsFirstZeroByte)
{
    const std::string huge = write("huge", "ab\nc");
    fs::resize_file(huge, 5ull << 30);
    EXPECT_EQ(m_files.getCheckSums(huge), kAbcSums);
    // /dev/zero never ends on its own; the alarm fails the test instead of hanging it.
    EXPECT_EXIT(
        {
            alarm(30);
            std::exit(m_files.getCheckSums("/dev/zero") == kEmptyMessageSums ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
