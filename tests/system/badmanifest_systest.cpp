// Manifests that no package builder writes: binary junk, NUL bytes, endless
// lines, thousands of lines, names with blanks or paths. Each gives a
// defined transcript, never a crash, and writes nothing it should not.
#include "cardflash_fixture.h"

#include <random>

namespace cardflash_test
{
namespace
{

using BadManifestTest = CardflashTest;

// The whole literal, NUL bytes included.
template <std::size_t N> std::string bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

TEST_F(BadManifestTest, ManifestsWithoutAnImageLineHoldNoEntry)
{
    std::string binary;
    for (int i = 0; i < 4096; ++i) {
        const char c = static_cast<char>(i * 7 % 256);
        binary += c == ',' ? '.' : c;
    }
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"binary bytes without a comma", binary},
        {"lines of NUL bytes and commas", bytes("\0\0\0,\0\0\n\0,\0,\0\n,,,\n")},
        {"a single huge line without a comma", std::string(8 << 20, 'x')},
        {"a single huge line of commas", std::string(8 << 20, ',')},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.first);
        manifest(entry.second);
        expectNothingWritten(onCard({"-f", "-v", "-g"}), kNothingToWrite + "INVALID\n\n");
    }
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
    ASSERT_GE(r.out.size(), kFlashFailed.size());
    EXPECT_EQ(r.out.substr(r.out.size() - kFlashFailed.size()), kFlashFailed);
    expectNothingWritten(r, r.out);
}

TEST_F(BadManifestTest, ARejectedBinaryNameIsShownWithoutItsControlBytes)
{
    manifest(bytes("\x01\x1b[2J/\xff,abc\n\xfe\xfd,abc\n") + image(kKernel));
    expectNothingWritten(onCard({"-f"}), rejected("??[2J/?") + kFlashFailed);
}

TEST_F(BadManifestTest, ANulByteBeforeTheChecksumLeavesAnEmptyChecksumThatNeverVerifies)
{
    unit.writeImage(kKernel.name, kKernel.content);
    manifest(bytes("zImage,\0") + checkSum(kKernel.content) + "\n");
    expectNothingWritten(onCard({"-f"}), rejected("zImage") + kFlashFailed);
}

TEST_F(BadManifestTest, AVersionEndsAtItsFirstNulByte)
{
    manifest(bytes("Version,1.5\0hidden\n"));
    EXPECT_EQ(onCard({"-g"}).out, "1.5\n");
}

TEST_F(BadManifestTest, AHugeRejectedNameIsShownShortened)
{
    manifest("../" + std::string(4 << 20, 'a') + ",x\n" + image(kKernel));
    expectNothingWritten(onCard({"-f"}),
                         rejected("../" + std::string(61, 'a') + "...") + kFlashFailed);
}

TEST_F(BadManifestTest, AHugeVersionIsPrintedWhole)
{
    const std::string version(4 << 20, 'v');
    manifest("Version," + version + "\n");
    EXPECT_EQ(onCard({"-g"}).out, version + "\n");
}

TEST_F(BadManifestTest, ThousandsOfUnknownLinesDoNotDisturbTheImageAmongThem)
{
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += "unknown" + std::to_string(i) + ".bin," + std::to_string(i) + "\n";
    }
    manifest(text + image(kKernel) + text);
    EXPECT_EQ(onCard({"-f"}).out, completed(kKernel.steps()));
    expectPartitions({{4, flashedWith(kKernel.content)}});
}

TEST_F(BadManifestTest, ThousandsOfWrongChecksumsAreEachRejected)
{
    unit.writeImage(kKernel.name, kKernel.content);
    std::string text, rejections;
    for (int i = 0; i < 3000; ++i) {
        text += "zImage,wrong" + std::to_string(i) + "\n";
        rejections += rejected("zImage");
    }
    manifest(text);
    expectNothingWritten(onCard({"-f"}), rejections + kFlashFailed);
}

// A name containing "/" must not lead verification out of /images.
TEST_F(BadManifestTest, PathsAndDirectoryNamesAreRejectedUnverified)
{
    const std::string passwd = checkSum(UnitSandbox::readFile("/etc/passwd"));
    manifest("../etc/passwd," + passwd + "\n/etc/passwd," + passwd + "\n.,EMPTY\n..,EMPTY\n" +
             image(kKernel));
    expectNothingWritten(onCard({"-f"}), rejected("../etc/passwd") + rejected("/etc/passwd") +
                                             rejected(".") + rejected("..") + kFlashFailed);
}

TEST_F(BadManifestTest, NamesWithBlanksAreTakenAsWrittenAndAreNoPackageImages)
{
    unit.writeImage("z Image", "spaced");
    const std::string sum = checkSum(kKernel.content);
    manifest("z Image," + checkSum("spaced") + "\n zImage," + sum + "\nzImage ," + sum + "\n" +
             image(kKernel));
    const SandboxResult r = onCard({"-f"});
    EXPECT_EQ(r.out, completed(kKernel.steps()));
    EXPECT_EQ(r.log, logged(kKernel.log()));
}

} // namespace
} // namespace cardflash_test
