#include "applicationupdater.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "filesystem.h"

namespace
{

typedef std::map<StdString, StdString> PartitionMap;

// Builds a manifest line from raw bytes, NUL bytes included.
StdString lineOf(const std::string& bytes)
{
    StdString line;
    line.append(bytes);
    return line;
}

// These cases run on the build machine, which has no card slot: every image
// check fails, so only what the reader records without a verified image is
// pinned here. The sandboxed system tests cover verified images.
class ManifestLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::filesystem::exists("/sys/block/mmcblk0")) {
            GTEST_SKIP() << "this machine has a card slot; image checks could pass";
        }
    }

    ApplicationUpdater updater;
};

// --- partition map ---------------------------------------------------------

TEST(PartitionMapTest, ANewUpdaterHoldsExactlyTheTenEntries)
{
    ApplicationUpdater updater;
    const PartitionMap expected = {
        {"lumoTarBall.tar.gz", "tgz"},
        {"Version", "Version"},
        {"uboot.bin", "/dev/mtd1"},
        {"at91sam9g35ek.dtb", "/dev/mtd3"},
        {"zImage", "/dev/mtd4"},
        {"rootfs.squashfs", "/dev/mtd5"},
        {"usr_share_lumo.jffs2", "/dev/mtd6"},
        {"usr_share_jail.jffs2", "/dev/mtd7"},
        {"var.jffs2", "/dev/mtd8"},
        {"bootstrap.bin", "/dev/mtd0"},
    };
    EXPECT_EQ(updater.GetPartitionMap(), expected);
}

TEST(PartitionMapTest, NoEntryNamesTheUnusedDeviceMtd2)
{
    ApplicationUpdater updater;
    for (const auto& entry : updater.GetPartitionMap()) {
        EXPECT_EQ(entry.second.Find("mtd2"), -1) << entry.first;
    }
}

TEST(PartitionMapTest, InitializeRestoresTheTenEntriesAfterLookupsOfUnknownNames)
{
    ApplicationUpdater updater;
    updater.ProcessManifestLine("unknown.bin,abc");
    updater.Initialize();
    EXPECT_EQ(updater.GetPartitionMap().size(), 10u);
    EXPECT_EQ(updater.GetPartitionMap().count("unknown.bin"), 0u);
}

TEST(PartitionMapTest, ANewUpdaterHasRecordedNothing)
{
    ApplicationUpdater updater;
    EXPECT_TRUE(updater.GetFilesInManifest().empty());
    EXPECT_TRUE(updater.GetOrderedFileList().empty());
    EXPECT_TRUE(updater.GetRejectedFileList().empty());
    EXPECT_TRUE(updater.GetVersionInManifest().empty());
    EXPECT_FALSE(updater.IsTarBallPackage());
}

TEST(PartitionMapTest, TheManifestLiesAtTheRootOfTheMountedCard)
{
    ApplicationUpdater updater;
    EXPECT_EQ(updater.getManifestFileName(), "/mnt/sd-card/lumoManifest");
}

// --- version lines -------------------------------------------------------------

TEST_F(ManifestLineTest, AVersionLineSetsTheVersionThoughNoImageOfThatNameExists)
{
    updater.ProcessManifestLine("Version,2.4.1");
    EXPECT_EQ(updater.GetVersionInManifest(), "2.4.1");
    EXPECT_TRUE(updater.GetOrderedFileList().empty());
    EXPECT_TRUE(updater.GetRejectedFileList().empty());
}

TEST_F(ManifestLineTest, AVersionNameWithBlanksIsNoVersionLine)
{
    updater.ProcessManifestLine(" Version,1.0");
    updater.ProcessManifestLine("Version ,1.0");
    EXPECT_TRUE(updater.GetVersionInManifest().empty());
}

// --- lines that are no entries --------------------------------------------

TEST_F(ManifestLineTest, LinesWithoutACommaOrWithoutANameAreSkipped)
{
    for (const char* line : {"", "\r", "zImage", "just some text", ",abc", ","}) {
        updater.ProcessManifestLine(line);
    }
    EXPECT_TRUE(updater.GetOrderedFileList().empty());
    EXPECT_TRUE(updater.GetRejectedFileList().empty());
    EXPECT_TRUE(updater.GetVersionInManifest().empty());
    EXPECT_FALSE(updater.IsTarBallPackage());
}

// --- images that did not verify --------------------------------------------

TEST_F(ManifestLineTest, AMappedImageThatDoesNotVerifyIsRejectedInManifestOrder)
{
    updater.ProcessManifestLine("zImage,abc");
    updater.ProcessManifestLine("bootstrap.bin,abc");
    updater.ProcessManifestLine("zImage,def");
    const std::vector<StdString> expected = {"zImage", "bootstrap.bin", "zImage"};
    EXPECT_EQ(updater.GetRejectedFileList(), expected);
    EXPECT_TRUE(updater.GetOrderedFileList().empty());
    EXPECT_TRUE(updater.GetFilesInManifest().empty());
}

TEST_F(ManifestLineTest, UnknownNamesAndTheMarkersAreNotRejected)
{
    updater.ProcessManifestLine("readme.txt,abc");
    updater.ProcessManifestLine("Version,1.0");
    updater.ProcessManifestLine("lumoTarBall.tar.gz,abc");
    updater.ProcessManifestLine("zimage,abc");
    EXPECT_TRUE(updater.GetRejectedFileList().empty());
}

TEST_F(ManifestLineTest, ANameWithABlankAroundAMappedNameIsUnknownNotRejected)
{
    updater.ProcessManifestLine(" zImage,abc");
    updater.ProcessManifestLine("zImage ,abc");
    EXPECT_TRUE(updater.GetRejectedFileList().empty());
    EXPECT_TRUE(updater.GetOrderedFileList().empty());
}

TEST_F(ManifestLineTest, ANameCutByANulByteIsJudgedByWhatComesBeforeIt)
{
    updater.ProcessManifestLine(lineOf(std::string("zImage\0.txt,abc", 15)));
    const std::vector<StdString> expected = {"zImage"};
    EXPECT_EQ(updater.GetRejectedFileList(), expected);
}

TEST_F(ManifestLineTest, NamesThatLeaveTheImageDirectoryAreRejected)
{
    for (const char* line :
         {"../etc/passwd,abc", "/etc/passwd,abc", "sub/zImage,abc", ".,abc", "..,abc"}) {
        updater.ProcessManifestLine(line);
    }
    const std::vector<StdString> expected = {"../etc/passwd", "/etc/passwd", "sub/zImage", ".",
                                             ".."};
    EXPECT_EQ(updater.GetRejectedFileList(), expected);
}

// --- the tar-ball line -------------------------------------------------------

TEST_F(ManifestLineTest, ALineNamedLikeTheTarBallMakesATarBallPackage)
{
    updater.ProcessManifestLine("lumoTarBall.tar.gz,0123-abcd");
    EXPECT_TRUE(updater.IsTarBallPackage());
}

TEST_F(ManifestLineTest, OnlyTheExactTarBallNameMakesATarBallPackage)
{
    updater.ProcessManifestLine("lumoTarBall.tar.gz");
    updater.ProcessManifestLine("lumotarball.tar.gz,abc");
    updater.ProcessManifestLine("lumoTarBall.tar.gz ,abc");
    updater.ProcessManifestLine("tgz,abc");
    EXPECT_FALSE(updater.IsTarBallPackage());
}

// --- hostile sizes -----------------------------------------------------------

TEST_F(ManifestLineTest, AHugeLineOfCommasCostsOnlyItsFirstTwoFields)
{
    std::string commas(8 * 1024 * 1024, ',');
    commas.replace(0, 10, "Version,9,");
    updater.ProcessManifestLine(lineOf(commas));
    EXPECT_EQ(updater.GetVersionInManifest(), "9");
}

TEST_F(ManifestLineTest, AHugeNameWithASlashIsRejectedWhole)
{
    const std::string name = "../" + std::string(4 * 1024 * 1024, 'a');
    updater.ProcessManifestLine(lineOf(name + ",abc"));
    ASSERT_EQ(updater.GetRejectedFileList().size(), 1u);
    EXPECT_EQ(updater.GetRejectedFileList()[0].size(), name.size());
}

// --- image check -------------------------------------------------------------

class CheckFileTest : public ManifestLineTest
{
protected:
    void SetUp() override
    {
        ManifestLineTest::SetUp();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "checkfile.XXXXXX").string();
        const int descriptor = mkstemp(&pattern[0]);
        ASSERT_GE(descriptor, 0);
        close(descriptor);
        m_path = pattern;
        std::ofstream(m_path) << "image bytes\n";
    }

    void TearDown() override
    {
        if (!m_path.empty()) {
            std::filesystem::remove(m_path);
        }
    }

    std::string m_path;
};

TEST_F(CheckFileTest, WithoutACardEvenAMatchingFileDoesNotVerify)
{
    FileSystem fileSystem;
    const std::string matching = fileSystem.getFileCheckSums(m_path);
    ASSERT_EQ(matching.size(), 73u);
    EXPECT_FALSE(ApplicationUpdater::CheckFile(m_path.c_str(), matching.c_str()));
}

TEST_F(CheckFileTest, WithoutACardAMissingFileDoesNotVerify)
{
    EXPECT_FALSE(ApplicationUpdater::CheckFile((m_path + ".missing").c_str(), "EMPTY"));
}

} // namespace
