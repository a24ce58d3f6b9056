#include "filesystem.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;

// Independently published digests.
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
const std::string kAbcCarriageReturnSums =
    "7010c9151c034f86e125e9530cd43a0b29e6f69b-8ae0dd80d1260fd836d8dd1624fed14e";

class ChecksumTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/checksums_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_startDirectory = fs::current_path();
        fs::current_path(m_dir);
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
    std::string sumsOfFileHolding(const std::string& content)
    {
        return m_files.getCheckSums(write("file", content));
    }
    // The checksum text as it is defined: the content read whole, then
    // digested in memory.
    std::string inMemorySums(const std::string& path)
    {
        const std::string content = m_files.openFile(path);
        if (content.empty()) {
            return "EMPTY";
        }
        return std::string(m_files.getSHA1SUM(content)) + "-" +
               std::string(m_files.getMD5SUM(content));
    }
    std::string streamed(const std::string& content, std::size_t blockSize)
    {
        std::istringstream input(content);
        return streamedCheckSums(input, blockSize);
    }

    FileSystem m_files;
    std::string m_dir;
    fs::path m_startDirectory;
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

std::string shellOutput(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[256];
    while (pipe != nullptr && fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return output.substr(0, output.find(' '));
}

TEST_F(ChecksumTest, DigestsMatchPublishedVectors)
{
    EXPECT_EQ(std::string(m_files.getSHA1SUM("abc")), kAbcSha1);
    EXPECT_EQ(std::string(m_files.getMD5SUM("abc")), kAbcMd5);
}

TEST_F(ChecksumTest, DigestsOfAnEmptyTextAreThoseOfTheEmptyMessage)
{
    EXPECT_EQ(std::string(m_files.getSHA1SUM("")), kEmptyMessageSha1);
    EXPECT_EQ(std::string(m_files.getMD5SUM("")), kEmptyMessageMd5);
}

TEST_F(ChecksumTest, DigestsStopAtTheFirstZeroByteOfTheText)
{
    EXPECT_EQ(std::string(m_files.getSHA1SUM(std::string("abc\0def", 7))), kAbcSha1);
    EXPECT_EQ(std::string(m_files.getMD5SUM(std::string("abc\0def", 7))), kAbcMd5);
}

TEST_F(ChecksumTest, LineFeedsInAFileAreNotDigested)
{
    EXPECT_EQ(sumsOfFileHolding("abc\n"), kAbcSums);
    EXPECT_EQ(sumsOfFileHolding("abc"), kAbcSums);
    EXPECT_EQ(sumsOfFileHolding("a\nb\nc\n"), kAbcSums);
    EXPECT_EQ(sumsOfFileHolding("\n\na\n\nbc"), kAbcSums);
}

TEST_F(ChecksumTest, CarriageReturnsInAFileAreDigested)
{
    EXPECT_EQ(sumsOfFileHolding("abc\r\n"), kAbcCarriageReturnSums);
}

TEST_F(ChecksumTest, AnEmptyFileOrOneOfLineFeedsOnlyGivesEmpty)
{
    EXPECT_EQ(sumsOfFileHolding(""), "EMPTY");
    EXPECT_EQ(sumsOfFileHolding("\n"), "EMPTY");
    EXPECT_EQ(sumsOfFileHolding("\n\n\n\n"), "EMPTY");
}

TEST_F(ChecksumTest, AFileStartingWithAZeroByteGivesTheSumsOfTheEmptyMessage)
{
    EXPECT_EQ(sumsOfFileHolding(std::string("\0abc", 4)), kEmptyMessageSums);
    EXPECT_EQ(sumsOfFileHolding(std::string("\n\n\0", 3)), kEmptyMessageSums);
}

TEST_F(ChecksumTest, FilesDifferingOnlyAfterTheirFirstZeroByteGiveTheSameText)
{
    EXPECT_EQ(sumsOfFileHolding(std::string("abc\0one", 7)), kAbcSums);
    EXPECT_EQ(sumsOfFileHolding(std::string("ab\nc\0two\0", 9)), kAbcSums);
}

TEST_F(ChecksumTest, ATextThatIsNoPathIsDigestedItself)
{
    EXPECT_EQ(m_files.getCheckSums("abc"), kAbcSums);
    EXPECT_EQ(m_files.getCheckSums(m_dir + "/missing"),
              inMemorySums(write("holder", m_dir + "/missing")));
}

TEST_F(ChecksumTest, ATextKeepsItsLineFeeds)
{
    EXPECT_NE(m_files.getCheckSums("a\nbc"), kAbcSums);
    EXPECT_EQ(m_files.getCheckSums("a\nbc"), std::string(m_files.getSHA1SUM("a\nbc")) + "-" +
                                                 std::string(m_files.getMD5SUM("a\nbc")));
}

TEST_F(ChecksumTest, ATextStartingWithAZeroByteGivesTheSumsOfTheEmptyMessage)
{
    EXPECT_EQ(m_files.getCheckSums(std::string("\0abc", 4)), kEmptyMessageSums);
}

TEST_F(ChecksumTest, AnEmptyArgumentGivesEmpty)
{
    EXPECT_EQ(m_files.getCheckSums(""), "EMPTY");
}

TEST_F(ChecksumTest, ATextNamingAnExistingFileDigestsThatFile)
{
    write("abc", "other content");
    EXPECT_EQ(m_files.getCheckSums("abc"), inMemorySums(m_dir + "/abc"));
    EXPECT_NE(m_files.getCheckSums("abc"), kAbcSums);
}

TEST_F(ChecksumTest, EveryCombinedTextIsSha1HyphenMd5InLowercaseHex)
{
    for (const std::string& content : {std::string("abc"), std::string("\xff\xfe binary \x01", 11),
                                       std::string("\0", 1), std::string(5000, 'Z')}) {
        const std::string sums = sumsOfFileHolding(content);
        ASSERT_EQ(sums.size(), 73u) << sums;
        EXPECT_EQ(sums[40], '-');
        for (std::size_t i = 0; i < sums.size(); ++i) {
            if (i != 40) {
                EXPECT_TRUE(std::isdigit(sums[i]) || (sums[i] >= 'a' && sums[i] <= 'f')) << sums;
            }
        }
    }
}

TEST_F(ChecksumTest, AFileThatCannotBeOpenedGivesTheSumsOfTheErrorText)
{
    // Opening a socket fails for every user, root included.
    const std::string path = m_dir + "/socket";
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(m_files.getCheckSums(path), kCannotOpenSums);
    EXPECT_EQ(m_files.getFileCheckSums(path), kCannotOpenSums);
    close(socketFd);
}

TEST_F(ChecksumTest, AFileWithoutReadPermissionGivesTheSumsOfTheErrorText)
{
    // Root reads everything, so the check runs in a child that gives up root.
    fs::permissions(m_dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string path = write("locked", "abc");
    fs::permissions(path, fs::perms::none);
    EXPECT_EXIT(
        {
            if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                std::exit(2);
            }
            std::exit(m_files.getCheckSums(path) == kCannotOpenSums ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ChecksumTest, GetFileCheckSumsNeverDigestsItsArgumentAsText)
{
    EXPECT_EQ(m_files.getFileCheckSums("abc"), kCannotOpenSums);
    EXPECT_EQ(m_files.getFileCheckSums(""), kCannotOpenSums);
    EXPECT_EQ(m_files.getFileCheckSums(write("abc-file", "a\nbc\n")), kAbcSums);
}

TEST_F(ChecksumTest, ADirectoryExistsButHasNothingToDigest)
{
    EXPECT_EQ(m_files.getCheckSums(m_dir), "EMPTY");
}

TEST_F(ChecksumTest, NamesWithBlanksAreFilesLikeAnyOther)
{
    write("my image file.bin", "abc\n");
    EXPECT_EQ(m_files.getCheckSums("my image file.bin"), kAbcSums);
    EXPECT_EQ(m_files.getCheckSums(m_dir + "/my image file.bin"), kAbcSums);
}

TEST_F(ChecksumTest, BinaryFilesAreDigestedByteForByte)
{
    std::string content;
    for (int value = 1; value < 256; ++value) {
        content += static_cast<char>(value);
    }
    const std::string path = write("binary", content + content);
    EXPECT_EQ(m_files.getCheckSums(path), inMemorySums(path));
    EXPECT_NE(m_files.getCheckSums(path), m_files.getCheckSums(write("shorter", content)));
}

TEST_F(ChecksumTest, ALargeFileMatchesShaAndMdSumsOfItsBytesWithoutLineFeeds)
{
    std::string content;
    for (std::size_t i = 0; content.size() < 3 * kCheckSumBlockSize + 123; ++i) {
        content += (i % 61 == 0) ? '\n' : static_cast<char>(' ' + i % 90);
    }
    const std::string path = write("large", content);
    const std::string stripped = "tr -d '\\n' < '" + path + "' | ";
    const std::string expected =
        shellOutput(stripped + "sha1sum") + "-" + shellOutput(stripped + "md5sum");
    ASSERT_EQ(expected.size(), 73u);
    EXPECT_EQ(m_files.getCheckSums(path), expected);
}

TEST_F(ChecksumTest, StreamingEqualsInMemoryWithEdgesOnFileBlockBoundaries)
{
    const std::size_t block = kCheckSumBlockSize;
    for (std::size_t zeroAt :
         {3 * block + 7, 2 * block, 2 * block - 1, 2 * block + 1, block, std::size_t(0)}) {
        const std::string path = write("edges", boundaryContent(block, zeroAt));
        EXPECT_EQ(m_files.getFileCheckSums(path), inMemorySums(path)) << "zero at " << zeroAt;
        EXPECT_EQ(m_files.getCheckSums(path), inMemorySums(path)) << "zero at " << zeroAt;
    }
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
}

TEST_F(ChecksumTest, StreamingEmptyOrLineFeedOnlyContentGivesEmpty)
{
    EXPECT_EQ(streamed("", 4), "EMPTY");
    EXPECT_EQ(streamed(std::string(10, '\n'), 4), "EMPTY");
    EXPECT_EQ(streamed(std::string("\n\n\n\n\0", 5), 4), kEmptyMessageSums);
}

TEST_F(ChecksumTest, StreamingAcceptsABlockSizeOfZero)
{
    EXPECT_EQ(streamed("a\nbc", 0), kAbcSums);
}

TEST_F(ChecksumTest, AHugeSparseFileIsDigestedOnlyUpToItsFirstZeroByte)
{
    const std::string path = write("huge", "ab\nc");
    fs::resize_file(path, 5ull << 30);
    EXPECT_EQ(m_files.getCheckSums(path), kAbcSums);
}

TEST_F(ChecksumTest, AnEndlessStreamOfZeroBytesEndsAtTheFirstOne)
{
    // Reading /dev/zero never ends on its own; the alarm fails the test
    // instead of hanging it if the reading did not stop.
    EXPECT_EXIT(
        {
            alarm(30);
            std::exit(m_files.getCheckSums("/dev/zero") == kEmptyMessageSums ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
