#include "applicationupdater.h"

#include "UnitTest.h"

#include <map>

#include "filesystem.h"

namespace
{

// Everything the manifest reader records, on one line.
std::string recorded(const ApplicationUpdater& updater)
{
    std::string text = "version=" + updater.GetVersionInManifest() + " rejected=";
    for (const StdString& name : updater.GetRejectedFileList()) {
        text += name + ";";
    }
    return text + " ordered=" + std::to_string(updater.GetOrderedFileList().size()) +
           " files=" + std::to_string(updater.GetFilesInManifest().size()) +
           (updater.IsTarBallPackage() ? " tarball" : "");
}

const std::string kNothing = "version= rejected= ordered=0 files=0";

// The build machine has no card slot, so every image check fails: only what
// the reader records without a verified image is pinned here. The sandboxed
// system tests cover verified images.
class ManifestLineTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        if (std::filesystem::exists("/sys/block/mmcblk0")) {
            GTEST_SKIP() << "this machine has a card slot; image checks could pass";
        }
    }
    std::string afterLines(std::initializer_list<const char*> lines)
    {
        for (const char* line : lines) {
            updater.ProcessManifestLine(line);
        }
        return recorded(updater);
    }

    ApplicationUpdater updater;
};

TEST(PartitionMapTest, ANewUpdaterHoldsExactlyTheTenEntriesAndHasRecordedNothing)
{
    ApplicationUpdater updater;
    const std::map<StdString, StdString> expected = {
        {"lumoTarBall.tar.gz", "tgz"},         {"Version", "Version"},
        {"bootstrap.bin", "/dev/mtd0"},        {"uboot.bin", "/dev/mtd1"},
        {"at91sam9g35ek.dtb", "/dev/mtd3"},    {"zImage", "/dev/mtd4"},
        {"rootfs.squashfs", "/dev/mtd5"},      {"usr_share_lumo.jffs2", "/dev/mtd6"},
        {"usr_share_jail.jffs2", "/dev/mtd7"}, {"var.jffs2", "/dev/mtd8"},
    };
    EXPECT_EQ(updater.GetPartitionMap(), expected);
    EXPECT_EQ(recorded(updater), kNothing);
    EXPECT_EQ(updater.getManifestFileName(), "/mnt/sd-card/lumoManifest");
}

TEST(PartitionMapTest, InitializeRestoresTheTenEntriesAfterLookupsOfUnknownNames)
{
    ApplicationUpdater updater;
    updater.ProcessManifestLine("unknown.bin,abc");
    updater.Initialize();
    EXPECT_EQ(updater.GetPartitionMap().size(), 10u);
    EXPECT_EQ(updater.GetPartitionMap().count("unknown.bin"), 0u);
}

TEST_F(ManifestLineTest, OnlyAnExactVersionNameSetsTheVersionThoughNoImageOfThatNameExists)
{
    EXPECT_EQ(afterLines({" Version,1.0", "Version ,1.0"}), kNothing);
    EXPECT_EQ(afterLines({"Version,2.4.1"}), "version=2.4.1 rejected= ordered=0 files=0");
}

TEST_F(ManifestLineTest, LinesWithoutACommaOrWithoutANameAreSkipped)
{
    EXPECT_EQ(afterLines({"", "\r", "zImage", "just some text", ",abc", ","}), kNothing);
}

TEST_F(ManifestLineTest, AMappedImageThatDoesNotVerifyIsRejectedInManifestOrder)
{
    EXPECT_EQ(afterLines({"zImage,abc", "bootstrap.bin,abc", "zImage,def"}),
              "version= rejected=zImage;bootstrap.bin;zImage; ordered=0 files=0");
}

TEST_F(ManifestLineTest, UnknownNamesMarkersAndBlankPaddedNamesAreNotRejected)
{
    EXPECT_EQ(afterLines({"readme.txt,abc", "Version,1.0", "lumoTarBall.tar.gz,abc", "zimage,abc",
                          " zImage,abc", "zImage ,abc"}),
              "version=1.0 rejected= ordered=0 files=0 tarball");
}

TEST_F(ManifestLineTest, ANameCutByANulByteIsJudgedByWhatComesBeforeIt)
{
    StdString line;
    line.append(std::string("zImage\0.txt,abc", 15));
    updater.ProcessManifestLine(line);
    EXPECT_EQ(recorded(updater), "version= rejected=zImage; ordered=0 files=0");
}

TEST_F(ManifestLineTest, NamesThatLeaveTheImageDirectoryAreRejected)
{
    EXPECT_EQ(
        afterLines({"../etc/passwd,abc", "/etc/passwd,abc", "sub/zImage,abc", ".,abc", "..,abc"}),
        "version= rejected=../etc/passwd;/etc/passwd;sub/zImage;.;..; ordered=0 files=0");
}

TEST_F(ManifestLineTest, OnlyALineWithTheExactTarBallNameMakesATarBallPackage)
{
    EXPECT_EQ(afterLines({"lumoTarBall.tar.gz", "lumotarball.tar.gz,abc", "lumoTarBall.tar.gz ,abc",
                          "tgz,abc"}),
              kNothing);
    EXPECT_EQ(afterLines({"lumoTarBall.tar.gz,0123-abcd"}), kNothing + " tarball");
}

TEST_F(ManifestLineTest, HugeLinesCostOnlyTheirFirstTwoFieldsAndHugeNamesAreRejectedWhole)
{
    StdString commas, name;
    commas.append(std::string(8 * 1024 * 1024, ',').replace(0, 10, "Version,9,"));
    updater.ProcessManifestLine(commas);
    EXPECT_EQ(updater.GetVersionInManifest(), "9");
    name.append("../" + std::string(4 * 1024 * 1024, 'a'));
    updater.ProcessManifestLine(name + ",abc");
    ASSERT_EQ(updater.GetRejectedFileList().size(), 1u);
    EXPECT_EQ(updater.GetRejectedFileList()[0].size(), name.size());
}

TEST_F(ManifestLineTest, WithoutACardNoFileVerifiesEvenWithItsMatchingChecksum)
{
    const std::string image = write("image", "image bytes\n");
    const std::string matching = FileSystem().getFileCheckSums(image);
    ASSERT_EQ(matching.size(), 73u);
    EXPECT_FALSE(ApplicationUpdater::CheckFile(image.c_str(), matching.c_str()));
    EXPECT_FALSE(ApplicationUpdater::CheckFile(path("missing").c_str(), "EMPTY"));
}

} // namespace
