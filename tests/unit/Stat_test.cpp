#include "Stat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;

// A scratch folder holding one file of every kind, which is also the working
// directory during the test so that short relative paths can be tried.
class StatTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/Stat_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_startDirectory = fs::current_path();
        fs::current_path(m_dir);
        std::ofstream(path("file")) << "contents";
        fs::create_directory(path("dir"));
        fs::create_directory_symlink(path("dir"), path("dirlink"));
        fs::create_symlink(path("missing"), path("dangling"));
        ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    }
    void TearDown() override
    {
        fs::current_path(m_startDirectory);
        fs::remove_all(m_dir);
    }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }

    std::string m_dir;
    fs::path m_startDirectory;
};

TEST_F(StatTest, EachPredicateRecognisesOnlyItsOwnFileType)
{
    Stat status;
    EXPECT_TRUE(status.isRegularFile(path("file")));
    EXPECT_TRUE(status.isDirectory(path("dir")));
    EXPECT_TRUE(status.isFifo(path("fifo")));
    EXPECT_TRUE(status.isCharacterDevice("/dev/null"));

    EXPECT_FALSE(status.isDirectory(path("file")));
    EXPECT_FALSE(status.isRegularFile(path("dir")));
    EXPECT_FALSE(status.isCharacterDevice(path("fifo")));
    EXPECT_FALSE(status.isBlockDevice("/dev/null"));
    EXPECT_FALSE(status.isFifo(path("file")));
    EXPECT_FALSE(status.isSocket(path("file")));
    EXPECT_FALSE(status.isSymbolicLink(path("file")));
}

TEST_F(StatTest, ASocketIsASocketAndNothingElse)
{
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    Stat status;
    EXPECT_TRUE(status.isSocket(socketPath));
    EXPECT_FALSE(status.isRegularFile(socketPath));
    EXPECT_FALSE(status.isFifo(socketPath));
    close(fd);
}

TEST_F(StatTest, ABlockDeviceNodeIsABlockDevice)
{
    if (mknod(path("block").c_str(), S_IFBLK | 0600, makedev(7, 0)) != 0) {
        GTEST_SKIP() << "no permission to create a device node here";
    }
    Stat status;
    EXPECT_TRUE(status.isBlockDevice(path("block")));
    EXPECT_FALSE(status.isCharacterDevice(path("block")));
}

TEST_F(StatTest, EveryPredicateIsFalseForAMissingPath)
{
    Stat status;
    const std::string missing = path("missing");
    EXPECT_FALSE(status.isRegularFile(missing));
    EXPECT_FALSE(status.isDirectory(missing));
    EXPECT_FALSE(status.isBlockDevice(missing));
    EXPECT_FALSE(status.isCharacterDevice(missing));
    EXPECT_FALSE(status.isFifo(missing));
    EXPECT_FALSE(status.isSocket(missing));
    EXPECT_FALSE(status.isSymbolicLink(missing));
    EXPECT_FALSE(status.stat(missing));
    EXPECT_FALSE(status.lstat(missing));
}

TEST_F(StatTest, ALinkToADirectoryIsBothALinkAndADirectory)
{
    Stat status;
    EXPECT_TRUE(status.isSymbolicLink(path("dirlink")));
    EXPECT_TRUE(status.isDirectory(path("dirlink")));
    EXPECT_FALSE(status.isSymbolicLink(path("dir")));
}

TEST_F(StatTest, OnlyLstatSeesADanglingLink)
{
    Stat status;
    EXPECT_TRUE(status.lstat(path("dangling")));
    EXPECT_TRUE(status.isSymbolicLink(path("dangling")));
    EXPECT_FALSE(status.stat(path("dangling")));
    EXPECT_FALSE(status.isRegularFile(path("dangling")));
}

TEST_F(StatTest, ShortPathArgumentsAreNotExaminedByADefaultObject)
{
    fs::create_directory("abcdef");
    fs::create_directory("abcde");
    Stat status;
    EXPECT_TRUE(status.isDirectory("abcdef")) << "6 characters are examined";
    EXPECT_FALSE(status.isDirectory("abcde")) << "5 characters are not";
    EXPECT_FALSE(status.isDirectory("/dev"));
    EXPECT_FALSE(status.isDirectory(""));
    EXPECT_FALSE(status.stat("abcde"));
}

TEST_F(StatTest, ShortPathArgumentsExamineTheStoredPathInstead)
{
    std::ofstream("abcde") << "a regular file";
    Stat status(path("dir"));
    EXPECT_TRUE(status.isDirectory(""));
    EXPECT_TRUE(status.isDirectory("abcde")) << "the stored folder is examined, not the file";
    EXPECT_FALSE(status.isRegularFile("abcde"));
    EXPECT_TRUE(status.isRegularFile(path("file"))) << "a long argument is examined itself";
}

TEST_F(StatTest, AShortConstructorPathIsNotStored)
{
    fs::create_directory("abcde");
    Stat status("abcde");
    EXPECT_FALSE(status.isDirectory(""));
    EXPECT_FALSE(status.stat(""));
}

TEST_F(StatTest, ACopyAndAnAssignmentKeepTheStoredPath)
{
    Stat original(path("dir"));
    Stat copy(original);
    Stat assigned;
    assigned = original;
    EXPECT_TRUE(copy.isDirectory(""));
    EXPECT_TRUE(assigned.isDirectory(""));
}

TEST_F(StatTest, FstatRefusesDescriptorZeroAndBelow)
{
    Stat status;
    EXPECT_FALSE(status.fstat(0));
    EXPECT_FALSE(status.fstat(-1));
}

TEST_F(StatTest, FstatOfAnOpenDescriptorSucceedsAndOfAClosedOneFails)
{
    int fd = open(path("file").c_str(), O_RDONLY);
    ASSERT_GE(fd, 1);
    Stat status;
    EXPECT_TRUE(status.fstat(fd));
    close(fd);
    EXPECT_FALSE(status.fstat(fd));
}

TEST_F(StatTest, AFileLargerThan4GiBIsStillARegularFile)
{
    int fd = open(path("large").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const off64_t fiveGiB = static_cast<off64_t>(5) << 30;
    if (ftruncate64(fd, fiveGiB) != 0) {
        close(fd);
        GTEST_SKIP() << "the temp file system holds no sparse 5 GiB file";
    }
    Stat status;
    EXPECT_TRUE(status.fstat(fd));
    close(fd);
    EXPECT_TRUE(status.isRegularFile(path("large")));
    EXPECT_TRUE(status.stat(path("large")));
}

} // namespace
