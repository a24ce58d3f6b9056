// Manifests that no package builder writes: binary junk, NUL bytes, endless
// lines, thousands of lines, names with blanks or paths. Each gives a
// defined transcript, never a crash, and writes nothing it should not.
#include "cardflash_fixture.h"

#include <random>

namespace cardflash_test
{
namespace
{

const std::string kKernel = "kernel";
const char* const kNothingToWrite = "NO IMAGE TO WRITE\nFLASH FAILED\n";

class BadManifestTest : public CardflashTest
{
protected:
    void expectNothingWritten(const SandboxResult& r) const
    {
        EXPECT_EQ(r.log, "");
        EXPECT_EQ(r.exitStatus, 255) << r.err;
        expectAllUntouched();
    }

    std::string kernelSteps() const
    {
        return kUnlockLine + eraseStep("/dev/mtd4") +
               writeStep("zImage", "/dev/mtd4", kKernel.size()) + kLockLine;
    }
};

// The whole literal, NUL bytes included.
template <std::size_t N> std::string bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

// --- binary ------------------------------------------------------------------------------

TEST_F(BadManifestTest, BinaryBytesWithoutACommaHoldNoEntry)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        const char c = static_cast<char>(i * 7 % 256);
        junk += c == ',' ? '.' : c;
    }
    manifest(junk);
    const SandboxResult r = onCard({"-f", "-v", "-g"});
    EXPECT_EQ(r.out, std::string(kNothingToWrite) + "INVALID\n\n");
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, RandomBytesEndInFlashFailed)
{
    std::mt19937 generator(20261206);
    std::string junk(64 * 1024, '\0');
    for (char& c : junk) {
        c = static_cast<char>(generator() % 256);
    }
    manifest(junk);
    const SandboxResult r = onCard({"-f"});
    const std::string last = "FLASH FAILED\n";
    ASSERT_GE(r.out.size(), last.size());
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, ARejectedBinaryNameIsShownWithoutItsControlBytes)
{
    manifest(bytes("\x01\x1b[2J/\xff,abc\n\xfe\xfd,abc\n") + image("zImage", kKernel));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: ??[2J/?\nFLASH FAILED\n");
    expectNothingWritten(r);
}

// --- NUL bytes ---------------------------------------------------------------------------

TEST_F(BadManifestTest, ANulByteBeforeTheChecksumLeavesAnEmptyChecksumThatNeverVerifies)
{
    unit.writeImage("zImage", kKernel);
    manifest(bytes("zImage,\0") + checkSum(kKernel) + "\n");
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: zImage\nFLASH FAILED\n");
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, LinesOfNulBytesAndCommasHoldNoImage)
{
    manifest(bytes("\0\0\0,\0\0\n\0,\0,\0\n,,,\n"));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, kNothingToWrite);
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, AVersionEndsAtItsFirstNulByte)
{
    manifest(bytes("Version,1.5\0hidden\n"));
    EXPECT_EQ(onCard({"-g"}).out, "1.5\n");
}

// --- sizes -------------------------------------------------------------------------------

TEST_F(BadManifestTest, ASingleHugeLineWithoutACommaHoldsNoEntry)
{
    manifest(std::string(8 * 1024 * 1024, 'x'));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, kNothingToWrite);
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, ASingleHugeLineOfCommasHoldsNoImage)
{
    manifest(std::string(8 * 1024 * 1024, ','));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, kNothingToWrite);
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, AHugeRejectedNameIsShownShortened)
{
    manifest("../" + std::string(4 * 1024 * 1024, 'a') + ",x\n" + image("zImage", kKernel));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: ../" + std::string(61, 'a') + "...\nFLASH FAILED\n");
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, AHugeVersionIsPrintedWhole)
{
    const std::string version(4 * 1024 * 1024, 'v');
    manifest("Version," + version + "\n");
    EXPECT_EQ(onCard({"-g"}).out, version + "\n");
}

TEST_F(BadManifestTest, ThousandsOfUnknownLinesDoNotDisturbTheImageAmongThem)
{
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += "unknown" + std::to_string(i) + ".bin," + std::to_string(i) + "\n";
    }
    manifest(text + image("zImage", kKernel) + text);
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, kernelSteps() + "FLASH COMPLETE\n");
    EXPECT_TRUE(unit.readPartition(4) == flashedWith(kKernel));
}

TEST_F(BadManifestTest, ThousandsOfWrongChecksumsAreEachRejected)
{
    unit.writeImage("zImage", kKernel);
    std::string text;
    std::string rejected;
    for (int i = 0; i < 3000; ++i) {
        text += "zImage,wrong" + std::to_string(i) + "\n";
        rejected += "IMAGE REJECTED: zImage\n";
    }
    manifest(text);
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, rejected + "FLASH FAILED\n");
    expectNothingWritten(r);
}

// --- names -------------------------------------------------------------------------------

TEST_F(BadManifestTest, APathOutOfTheImageDirectoryIsRejectedUnverified)
{
    const std::string passwd = UnitSandbox::readFile("/etc/passwd");
    manifest("../etc/passwd," + checkSum(passwd) + "\n/etc/passwd," + checkSum(passwd) + "\n" +
             image("zImage", kKernel));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: ../etc/passwd\nIMAGE REJECTED: /etc/passwd\nFLASH FAILED\n");
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, TheDirectoryNamesDotAndDotDotAreRejected)
{
    manifest(".,EMPTY\n..,EMPTY\n" + image("zImage", kKernel));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, "IMAGE REJECTED: .\nIMAGE REJECTED: ..\nFLASH FAILED\n");
    expectNothingWritten(r);
}

TEST_F(BadManifestTest, NamesWithBlanksAreTakenAsWrittenAndAreNoPackageImages)
{
    unit.writeImage("z Image", "spaced");
    manifest("z Image," + checkSum("spaced") + "\n zImage," + checkSum(kKernel) + "\nzImage ," +
             checkSum(kKernel) + "\n" + image("zImage", kKernel));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, kernelSteps() + "FLASH COMPLETE\n");
    EXPECT_EQ(r.log,
              kUnlockLog + eraseLog("/dev/mtd4") + writeLog("zImage", "/dev/mtd4") + kLockLog);
}

TEST_F(BadManifestTest, AManifestThatIsADirectoryHoldsNoEntry)
{
    unit.writeSdFile("lumoManifest/zImage", "x");
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, kNothingToWrite);
    expectNothingWritten(r);
}

} // namespace
} // namespace cardflash_test
