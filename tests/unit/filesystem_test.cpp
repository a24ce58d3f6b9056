#include "MountEntry.h"
#include "Stat.h"
#include "filesystem.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

#include "table.h"

using S = StdString;

const Str kAbcSums = "a9993e364706816aba3e25717850c26c9cd0d89d-900150983cd24fb0d6963f7d28e17f72";
const Str kNoSums = "da39a3ee5e6b4b0d3255bfef95601890afd80709-d41d8cd98f00b204e9800998ecf8427e";
const auto Sums = [](const Str& t) -> Str {
    return FileSystem().getSHA1SUM(t) + "-" + FileSystem().getMD5SUM(t);
};

TEST(Checksums, AnyBlockSizeGivesTheTextOfTheWholeContent)
{
    std::vector<std::pair<Str, Str>> table = {
        {"abc\n", kAbcSums}, {"\n\na\n\nbc", kAbcSums}, {"ab\nc\0two\0"s, kAbcSums},
        {"", "EMPTY"},       {"\n\n\n\n\n", "EMPTY"},   {"\n\n\n\n\0"s, kNoSums},
        {"\0abc"s, kNoSums}, {"abc\r\n", Sums("abc\r")}};
    // Line feeds and a zero byte at and around multiples of `edge`, against memory digests.
    for (std::size_t edge : {1, 2, 3, 7, 64}) {
        for (std::size_t zeroAt : {std::size_t(1000), 2 * edge, edge - 1, std::size_t(0)}) {
            Str text;
            for (std::size_t i = 0; i < 3 * edge + 7; ++i) {
                text += (i % edge == 0 || i % edge == edge - 1) ? '\n' : char('a' + i % 26);
            }
            text = zeroAt < text.size() ? text.replace(zeroAt, 1, 1, '\0') : text;
            Str w = text.substr(0, text.find('\0'));
            w.erase(std::remove(w.begin(), w.end(), '\n'), w.end());
            table.emplace_back(text, w.empty() && zeroAt >= text.size() ? "EMPTY" : Sums(w));
        }
    }
    for (std::size_t block : {0, 1, 2, 3, 7, 64, 4096, int(kCheckSumBlockSize)}) {
        for (const auto& [content, sums] : table) {
            std::istringstream input(content), again(content);
            Str sums2, sha;
            std::uint64_t n = 0;
            EXPECT_EQ(J(streamedDigests(again, block, sums2, sha, n), sums2, n,
                        streamedCheckSums(input, block)),
                      J(true, sums, content.size(), sums))
                << block << " " << testing::PrintToString(content);
        }
    }
}

// Works in a scratch folder of its own, which is also the working directory.
// What unpacking the file as an archive into the folder did.
Str Untar(FileSystem& F, const char* file, const char* folder)
{
    const int descriptor = open(file, O_RDONLY);
    const ExtractionResult r = F.uncompressTarGz(descriptor, folder);
    close(descriptor);
    return J(r.complete, r.wroteSomething, r.damaged).substr(1);
}

TEST(Files, DigestsBoundedReadsStatAndHelpers)
{
    const fs::path start = fs::current_path();
    const Str dir = fs::canonical(fs::temp_directory_path()).string() + "/cf-" + J(getpid());
    fs::create_directory(dir), fs::current_path(dir), fs::create_directory("subdir");
    std::ofstream("zeroes") << "abc\0def"s, fs::create_symlink("missing", "dangling");
    std::ofstream("flash") << "abc\xff\xff"; // an image and the erased bytes behind it
    FileSystem F;
    Str sums, h, b = "x";
    std::uint64_t n = 9;
    const auto D = [&](const Str& f) { return J(F.getFileDigests(f, sums, h, n), sums, h, n); };
    const auto W = [&](const Str& f, std::uint64_t u, bool sha) {
        return J(F.getWrittenDigest(f, u, sha, h), h);
    };
    const auto B = [&](const Str& f, std::size_t up) { return J(F.readFileBytes(f, up, b), b); };
    const auto parts = F.splitDelimitedString(",a;b", ",;");
    const Str cannot = Sums("ERROR:CANNOT OPEN FILE"), big = Str(5000, '\xff') + "a\0b\r\nc"s;
    Stat st, stored(dir + "/subdir"), copy(stored);
    S text("x"), name("data"), empty, missing("missing/out");
    std::ofstream("data") << big, mkfifo("fifo-1", 0600);
    Check(
        {ROW(Sums("a\nbc"), F.getCheckSums("a\nbc")),
         ROW("EMPTY " + cannot + " " + kAbcSums, F.getCheckSums(""), F.getFileCheckSums("missing"),
             F.getCheckSums("zeroes")),
         ROW(J(1, kAbcSums, "516a5e926ce20c5f4d80f00e1a01abdf14986def6588d6abeed9fce090bc660c", 7) +
                 "  " + J(0, cannot, "", 0).substr(1),
             D("zeroes"), D("missing")),
         ROW(" 1 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  1 " + kAbcSums +
                 "  0   0   0 ",
             W("flash", 3, 1), W("flash", 3, 0), W("zeroes", 3, 1), W("flash", 6, 1),
             W("missing", 0, 1)),
         ROW(" 1 abc\0def  0   0 "s, B("zeroes", 7), B("zeroes", 6), B("missing", 7))});
    Check(
        {ROW("5006", text.ReadFromFile(name)), ROW(big, text), ROW("5006", text.WriteToFile(name)),
         ROW("5", (text = "short", text.WriteToFile(name))), ROW("5", text.ReadFromFile(name)),
         ROW("0 0", text.WriteToFile(empty) + text.WriteToFile(missing), text.ReadFromFile(empty)),
         ROW("0", (text = "x", text.ReadFromFile(missing))), ROW("", text)});
    Check({ROW("1 1 1 1 1 0 0 1 0 0 0 3  a b 1 0 ", st.isRegularFile("zeroes"),
               st.isDirectory("subdir"), st.isCharacterDevice("/dev/null"), st.isFifo("fifo-1"),
               st.isSymbolicLink("dangling"), st.isDirectory("zeroes"), st.isSocket("fifo-1"),
               stored.isDirectory("s"), copy.isBlockDevice(""), st.stat("dangling"), st.fstat(-1),
               parts.size(), parts[0], parts[1], parts[2], MountEntry().setMountDevice("/dev/sda1"),
               MountEntry().setMountPoint(""), MountEntry().getMountPoint()),
           ROW("0", F.setCurrentDirectory("missing") || F.setCurrentDirectory("zeroes")),
           ROW("0 0 0", Untar(F, "zeroes", "missing")), // no folder: not unpacked elsewhere
           ROW("1", F.setCurrentDirectory("subdir")),
           ROW(dir + "/subdir", F.getCurrentDirectory())});
    MountEntry m, m2;
    Stat assigned;
    std::ofstream("lines") << "ab\0c\r\nd"s << std::flush;
    const std::vector<S> lines = F.openFileInLines("lines");
    Check({ROW("1 1 1 1", m.setMountDevice("/dev/sd"), m.setMountPoint("/mnt"),
               m.setFilesystemType("vfat"), m.setMountDeviceEntry("", "")),
           ROW("/dev/sd", (m2 = MountEntry(m)).getMountDevice()),
           ROW("/mnt vfat", m2.getMountPoint(), m2.getFilesystemType()),
           ROW("1 1", (assigned = stored).isDirectory(""), st.fstat(STDOUT_FILENO)),
           ROW("ab\0c\rd"s, F.openFile("lines")),
           ROW("2 ab d", lines.size(), lines.at(0), lines.at(1)),
           ROW("ERROR:CANNOT OPEN FILE 0", F.openFile("none"), F.openFileInLines("none").size())});
    fs::current_path(start), fs::remove_all(dir);
}
