#include "MountEntry.h"
#include "Stat.h"
#include "StrTokenizer.h"
#include "filesystem.h"
#include "manifestsignature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;
using S = StdString;
using Str = std::string;

// Results that need no order among them, each after a space.
template <typename... T> Str J(const T&... v)
{
    return ((" " + (std::ostringstream() << v).str()) + ...);
}
// {expression, what it gave, what it should give}; rows run in order.
using Row = std::array<Str, 3>;
#define ROW(want, ...) (Row{#__VA_ARGS__, J(__VA_ARGS__).substr(1), want})
void Check(std::initializer_list<Row> rows)
{
    for (const Row& row : rows) {
        EXPECT_EQ(row[1], row[2]) << row[0];
    }
}

const char8* const none = nullptr;
char8* const mNone = nullptr;
const Str kNul = "abc\0def"s;
const auto Nul = [] { // a copy of this keeps only "abc"
    S t;
    t.assign(kNul);
    return t;
};

TEST(StdString, NulNullClampsTrimsComparesEditsLeftToRightAndConvertsNumbers)
{
    const S nul = Nul(), five("5"), x("abcabc"), abc("abc");
    S text("path"), cut = Nul(), &same = text, &sameCut = cut;
    Check({ROW("abc abcx abcabc <abc abc abc def", S(nul), nul + 'x', nul + nul, S("<") += nul,
               S("x") = nul, nul.Left(7), nul.Right(3)),
           ROW("\0 \0 abc\0"s, S('\0'), S("x") = '\0', S("abc") + '\0'),
           ROW("    a b c", S(none), S(mNone), S("abc") = none, S("a") = mNone, S("a") += none,
               S("b") += mNone, S("c") + none),
           ROW("path", text = same), ROW("pathpath", text += same),
           ROW("path", text = text.c_str() + 4), ROW("abc", cut = sameCut),
           ROW("0 ", S("a").IsEmpty(), (text.Empty(), text)),
           ROW("1 1 0 5x5!", S("10") != S("010"), S("010") < S("10"), S("010") == "10",
               five + "x" + five + '!'),
           ROW("-1 2 1 1 0 -1 -1 4 4 -1 -1 5 -1 3 0 6", x.Find('z'), x.Find('c'), x.Find("bc"),
               x.Find(S("bc")), x.Find(none), abc.Find('c', -1), x.Find("c", -1), x.Find('b', 2),
               x.Find("bc", 2), x.Find("a", INT_MAX), S("abx").Find(Nul()), x.ReverseFind('c'),
               x.ReverseFind('z'), x.ReverseFind("ab", S::npos), x.ReverseFind("ab", 2),
               x.ReverseFind(none, 99)),
           ROW(" ab abc  bc abc bc   ab  abc bc ", abc.Left(-5), abc.Left(2), abc.Left(99),
               abc.Right(-1), abc.Right(2), abc.Right(99), abc.Mid(1, 99), abc.Mid(1, -1),
               abc.Mid(3, 1), abc.Mid(-2, 2), abc.Mid(INT_MAX, 9), abc.Mid(INT_MIN), abc.Mid(1),
               abc.Mid(99))});
    Check({ROW(" a b a   a", S(" \t\r\n").Trim(), S("\t a b \r\n").Trim(), S(" \ta ").TrimLeft(),
               S(" a\t\n").TrimRight()),
           ROW("\fa\v", S("\fa\v").Trim()),
           ROW("120 0012  x/- /-/x a", S("00120").TrimLeft('0'), S("00120").TrimRight('0'),
               S("xxx").TrimRight('x'), S("/-/x/-").TrimLeft("-/"), S("/-/x/-").TrimRight("/-"),
               S("a").TrimLeft(none).TrimRight(none)),
           ROW("AB1-\xe4Z ab1-\xe4z", S("aB1-\xe4z").ToUpper(), S("aB1-\xe4Z").ToLower()),
           ROW("mixed cba", S(" MiXeD\r\n").Normalize(), S("abc").MakeReverse()),
           ROW("0 1 1 0 1 0 0", S("abc").Compare("abc"), S("abc").Compare("abd") < 0,
               S("abc").Compare(none) > 0, S("abc").CompareNoCase("ABC"),
               S("ABC").CompareNoCase("abd") < 0, S().CompareNoCase(none),
               Nul().CompareNoCase("ABC"))});
    // "COUNT:TEXT" after an edit; the text is read once the edit has run.
    const auto E = [](const S& text, ssize_t n) { return std::to_string(n) + ":" + text; };
    S t, u("aba"), buf("ab"), fmt("old"), pad("  42 "), hex("0X1F"), yes(" Yes\r\n"), m("-2.2");
    const Str longText(5000, 'q');
    const double fromText = static_cast<double>(m); // conversions are asked for by name
    Check({ROW("1:x", E(t, t.Insert(10, 'x'))), ROW("3:abx", E(t, t.Insert(0, "ab"))),
           ROW("4:abxz", E(t, t.Insert(-1, "z"))), ROW("4:abxz", E(t, t.Insert(0, none))),
           ROW("5:\0abxz"s, E(t, t.Insert(0, '\0'))), ROW("4:abxz", E(t, t.Delete(-3, 1))),
           ROW("3:abx", E(t, t.Delete(3, 9))), ROW("1:a", E(t, t.Delete(1, -1)))});
    Check({ROW("2:aabaa", E(u, u.Replace("a", "aa"))),
           ROW("0:aabaa0:aabaa", E(u, u.Replace("", "x")) + E(u, u.Replace(none, "x"))),
           ROW("2:bbb", E(u, u.Replace("aa", "b"))), ROW("3:", E(u, u.Replace("b", none))),
           ROW("2:a/b/c", (u = "a.b.c", E(u, u.Replace('.', '/')))),
           ROW("heo abcdef ab", S("hello").Remove('l'), Nul().Remove('\0'), Nul().Remove('c')),
           ROW(kNul, Nul().Remove('z'))});
    Check({ROW("abc\0\0"s, (buf.GetBuffer(5)[2] = 'c', buf)),
           ROW("abc", (buf.ReleaseBuffer(-1), buf)), ROW("abc", (buf.GetBuffer(1), buf)),
           ROW("a", (buf.ReleaseBuffer(1), buf)), ROW("", S().GetBuffer(0)),
           ROW("size=42", (fmt.Format("%s=%d", "size", 42), fmt)),
           ROW("size=42/x", (fmt.Format("%s/%s", fmt.c_str(), "x"), fmt)),
           ROW("<" + longText + ">", (fmt.Format("<%s>", longText.c_str()), fmt)),
           ROW("", (fmt.Format("%c", '\0'), fmt))});
    Check(
        {ROW("42 42 31 0x1f -7 0 -1 12 1 yes 1 1 1 0 0 0 3.5 0 -2.2 -2147483648 0.1 1e+06",
             static_cast<int32>(pad), pad, static_cast<int32>(hex), hex, int32(S("-7")),
             int32(S("ff")), int32(S("0xffffffff")), int32(S("12abc")), static_cast<bool>(yes), yes,
             bool(S("TRUE")), bool(S("on")), bool(S("\t1 ")), bool(S("2")), bool(S("truey")),
             bool(S("off")), double(static_cast<const S&>(S("3.5abc"))), double(S("abc")), fromText,
             S().IntToString(INT32_MIN), S().DoubleToString(0.1), S().DoubleToString(1e6))});
}

TEST(StrTokenizer, SplitsAtEveryWholeDelimiterAndJoinsClampedRuns)
{
    // The count and the first three tokens.
    const auto T = [](StrTokenizer t) { return J(t.GetSize(), t[0], t[1], t[2]); };
    StrTokenizer abc("a,b,c", ","), gaps(",a,,b,", ","), later("a,b,c", ","), fresh;
    const StrTokenizer t("12,-1,x,65541,0x10, 7,-2,2.5e3", ",");
    const auto At = [&t](auto value, ssize_t i) { return t.GetAt(i, value), value; };
    Check({ROW(" 3 a  b  2     1 abc    3 a b c", T({"a,,b", ","}), T({",", ","}), T({"abc", ""}),
               T({"a, b, c", ", "})),
           ROW(" 2 a   b   2 a,b c   3     2  a ", T({"a , b", ","}), T({"a,b::c", "::"}),
               T({"aaaa", "aa"}), T({"aaa", "aa"})),
           ROW(" 0     2 ab    1 a,b  ", T({"", ","}), T({Nul(), "c"}), T({"a,b", S('\0')})),
           ROW("1  0", fresh.IsEmpty(), fresh.Left(0), abc.IsEmpty()),
           ROW("a a,b,c   a,b,c c   b b,c a,b  ", abc.Left(0), abc.Left(2), abc.Left(3),
               abc.Left(-1), abc.Right(0), abc.Right(2), abc.Right(3), abc.Right(-1), abc.Mid(1, 1),
               abc.Mid(1, 99), abc.Mid(-1, 1), abc.Mid(-1, 99), abc.Mid(2, 1)),
           ROW(",b,  ", gaps.Mid(2, 4), abc[-1], abc[3]),
           ROW("3", (later.InitializeTokenizer("", ","), later.GetSize())),
           ROW("a,b,c,d", (later.InitializeTokenizer("d", ""), later.Left(3))),
           ROW("x;y", (later.InitializeTokenizer("x;y", ";"), later.Left(1)))});
    Check({ROW("12 12 0 0 7 4294967295 5 5 -2 2500 0   0 0 0 0 0", At(S("x"), 0), At(int32(1), 0),
               At(int32(1), 2), At(int32(1), 4), At(int32(1), 5), At(uint32(1), 1),
               At(uint16(1), 3), At(int16(1), 3), At(int16(1), 6), At(1.0, 7), At(1.0, 2),
               At(S("x"), 8), At(S("x"), -1), At(int32(1), -1), At(uint32(1), 8), At(int16(1), 8),
               At(uint16(1), -1), At(1.0, 9))});
}

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

const auto Pem = [](const Str& label, const Str& body) {
    return "-----BEGIN " + label + "-----\n" + body + "\n-----END " + label + "-----\n";
};
// RFC 8032, test 1: a key pair and its signature of the empty message.
const Str kPub = Pem("PUBLIC KEY", "MCowBQYDK2VwAyEA11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=");
const Str kPriv =
    Pem("PRIVATE KEY", "MC4CAQAwBQYDK2VwBCIEIJ1hsZ3v/VpguoRK9JLsLMREScVpezJpGXA7rAMcrn9g");
const Str kSig =
    "5VZDAMNgrHKQhuLMgG6CioSHfx645dl02HPgZSJJAVVfuIIVkKM7rMYeOXAc+bRr0lv18FlbviRlUUFDjnoQCw==";

TEST(ManifestSignature, OnlyWellFormedEd25519KeysVerifyAndSigningMatchesTheStandard)
{
    std::vector<Str> keys, o{"x"};
    Str seed, sig, mSig, b, rfc;
    // The keys read, or 9 more than the keys left after a refusal.
    const auto K = [&o](Str p) { return readEd25519PublicKeys(p, o) ? o.size() : 9 + o.size(); };
    const auto B64 = [&b](const Str& text) { return J(decodeBase64(text, b), b); };
    ASSERT_TRUE(readEd25519PublicKeys(kPub, keys) && readEd25519PrivateKey(kPriv, seed) &&
                signEd25519(seed, "", sig) && signEd25519(seed, "manifest", mSig) &&
                decodeBase64(kSig, rfc));
    const Str k = keys.at(0), flipped = sig.substr(0, 9) + char(sig[9] ^ 1) + sig.substr(10);
    Check(
        {ROW("2 9 9 9 9", K(kPub + "\n\n" + kPub), K(kPriv), K("#\n" + kPub),
             K(kPub.substr(0, 40) + kPub.substr(41)), K(kPub.substr(0, 90))),
         ROW("0", readEd25519PrivateKey(kPub, b) || readEd25519PrivateKey("", b)),
         ROW(" 1 ABC  1 A  1   0   0   0   0 ", B64("QUJD"), B64(" Q\r\nQ = = "), B64(""),
             B64("QQ="), B64("QQ=A"), B64("Q==="), B64("Q!==")),
         ROW("1 1 1 0 0", sig == rfc, verifyEd25519(k, "", sig), verifyEd25519(k, "manifest", mSig),
             verifyEd25519(k, "manifesT", mSig), verifyEd25519(k, "", flipped)),
         ROW("0 0 1 0 0", verifyEd25519(k, "", sig.substr(1)), verifyEd25519(k + "x", "", sig),
             anyKeyVerifies({Str(32, '\1'), k}, "", sig), anyKeyVerifies({Str(32, '\1')}, "", sig),
             signEd25519(seed.substr(1), "", b))});
}

// Signatures that openssl pkeyutl -sign -rawin made with the key above, of
// messages of these sizes whose byte i is i * 131 mod 256 (size 0: RFC 8032).
TEST(ManifestSignature, EveryByteOfAMessageOfAnySizeIsSigned)
{
    const std::pair<std::size_t, Str> table[] = {
        {0, kSig},
        {1, "+2ZlqOJ4oNaoBFC5XUxO9+S8eGlNt2bhbIt1T4WJ4fOzlwnn1xT4FzAjz31PRjMLIWy/"
            "TpUnSyK71hJaoUyPCg=="},
        {65535, "92WLEkQbBIerBCW5RW2Xg+07kNREoMQEi0qJqFCsmNe2pcCQPrEKFxpw/"
                "9wrHS00gRSBK5qJq78IYneDnN6gAQ=="},
        {65536, "GaufdnZgaH0q3FtpwE4ZF80E5uBwnnV0CYoWA3FkDHi5/zH96RYc9nXIgiXLcKNDVVcIql/"
                "1VSyfok1JKgVpBw=="},
        {65537, "qpyhmATNQC9Si+fxkgLYD0vE1KRi4G1fXluFKPFOjBm/vam0AQtkq+a76TkjJ1M14/"
                "RyUzwu1tt7xkreFWIGCQ=="},
        {200000, "zIKlFe4qncDEgs3Eaub/ClZA/laFZ20mKaFc99dV/"
                 "p9VO3evXCQJPhiBE4jOvWWtdAfFRS43X60oW6c60AFUBA=="}};
    std::vector<Str> keys;
    Str seed, ours, theirs;
    ASSERT_TRUE(readEd25519PublicKeys(kPub, keys) && readEd25519PrivateKey(kPriv, seed));
    for (const auto& [size, base64] : table) {
        Str message(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            message[i] = static_cast<char>((i * 131) & 0xff);
        }
        SCOPED_TRACE(size);
        const Str k = keys.at(0), longer = message + Str(65536, '#');
        const Str changedLast =
            size == 0 ? "x" : message.substr(0, size - 1) + char(~message.back());
        ASSERT_TRUE(decodeBase64(base64, theirs) && signEd25519(seed, message, ours));
        Check({ROW("1 1 0 0 0 0", ours == theirs, verifyEd25519(k, message, theirs),
                   verifyEd25519(k, message + "x", ours), verifyEd25519(k, longer, ours),
                   verifyEd25519(k, changedLast, ours),
                   size > 0 && verifyEd25519(k, message.substr(1), ours))});
    }
}
