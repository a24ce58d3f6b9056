#include "Stat.h"

#include "UnitTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;

// One file of every kind; the scratch folder is also the working directory,
// so that short relative paths can be tried.
class StatTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        fs::current_path(m_dir);
        write("file", "contents");
        fs::create_directory(path("dir"));
        fs::create_directory_symlink(path("dir"), path("dirlink"));
        fs::create_symlink(path("missing"), path("dangling"));
        ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    }
    // The letters of every type query that answers true, like ls -l shows them.
    std::string kinds(const std::string& target)
    {
        std::string letters;
        letters += status.isRegularFile(target) ? "-" : "";
        letters += status.isDirectory(target) ? "d" : "";
        letters += status.isBlockDevice(target) ? "b" : "";
        letters += status.isCharacterDevice(target) ? "c" : "";
        letters += status.isFifo(target) ? "p" : "";
        letters += status.isSocket(target) ? "s" : "";
        letters += status.isSymbolicLink(target) ? "l" : "";
        return letters;
    }

    Stat status;
};

TEST_F(StatTest, EachPathAnswersExactlyTheQueriesOfItsKindAndLinksAreFollowed)
{
    const int socketFd = bindSocket("socket");
    EXPECT_EQ(kinds(path("file")), "-");
    EXPECT_EQ(kinds(path("dir")), "d");
    EXPECT_EQ(kinds("/dev/null"), "c");
    EXPECT_EQ(kinds(path("fifo")), "p");
    EXPECT_EQ(kinds(path("socket")), "s");
    EXPECT_EQ(kinds(path("dirlink")), "dl");
    EXPECT_EQ(kinds(path("dangling")), "l");
    EXPECT_EQ(kinds(path("missing")), "");
    close(socketFd);
    EXPECT_TRUE(status.lstat(path("dangling")));
    EXPECT_FALSE(status.stat(path("dangling")) || status.stat(path("missing")) ||
                 status.lstat(path("missing")));
}

TEST_F(StatTest, ABlockDeviceNodeIsABlockDevice)
{
    if (mknod(path("block").c_str(), S_IFBLK | 0600, makedev(7, 0)) != 0) {
        GTEST_SKIP() << "no permission to create a device node here";
    }
    EXPECT_EQ(kinds(path("block")), "b");
}

TEST_F(StatTest, ArgumentsShorterThanSixCharactersAreNotExaminedByADefaultObject)
{
    fs::create_directory("abcdef");
    fs::create_directory("abcde");
    Stat shortStored("abcde");
    EXPECT_TRUE(status.isDirectory("abcdef")) << "6 characters are examined";
    EXPECT_FALSE(status.isDirectory("abcde")) << "5 characters are not";
    EXPECT_FALSE(status.isDirectory("/dev") || status.isDirectory("") || status.stat("abcde"));
    EXPECT_FALSE(shortStored.isDirectory("") || shortStored.stat(""))
        << "a short constructor path is not stored";
}

TEST_F(StatTest, ShortArgumentsExamineTheStoredPathWhichCopiesKeep)
{
    std::ofstream("abcde") << "a regular file";
    Stat stored(path("dir"));
    Stat copy(stored), assigned;
    assigned = stored;
    EXPECT_TRUE(stored.isDirectory(""));
    EXPECT_TRUE(stored.isDirectory("abcde")) << "the stored folder is examined, not the file";
    EXPECT_FALSE(stored.isRegularFile("abcde"));
    EXPECT_TRUE(stored.isRegularFile(path("file"))) << "a long argument is examined itself";
    EXPECT_TRUE(copy.isDirectory("") && assigned.isDirectory(""));
}

TEST_F(StatTest, FstatNeedsAnOpenDescriptorAboveZero)
{
    EXPECT_FALSE(status.fstat(0) || status.fstat(-1));
    const int fd = open(path("file").c_str(), O_RDONLY);
    ASSERT_GE(fd, 1);
    EXPECT_TRUE(status.fstat(fd));
    close(fd);
    EXPECT_FALSE(status.fstat(fd));
}

TEST_F(StatTest, AFileLargerThan4GiBIsStillARegularFile)
{
    const int fd = open(path("large").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    if (ftruncate64(fd, static_cast<off64_t>(5) << 30) != 0) {
        close(fd);
        GTEST_SKIP() << "the temp file system holds no sparse 5 GiB file";
    }
    EXPECT_TRUE(status.fstat(fd));
    close(fd);
    EXPECT_TRUE(status.isRegularFile(path("large")));
    EXPECT_TRUE(status.stat(path("large")));
}

} // namespace
