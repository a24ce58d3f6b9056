#include "StdString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

// "abc", a NUL, "def": seven characters, of which a copy keeps three.
StdString WithInnerNul()
{
    StdString text("abc");
    text += '\0';
    text += "def";
    return text;
}

TEST(StdStringCopy, TextIsTakenUpToTheFirstNul)
{
    StdString text("abc");
    text += '\0';
    text += 'd';
    text += 'e';
    text += 'f';
    ASSERT_EQ(7, text.GetLength());

    EXPECT_EQ(3, StdString(text).GetLength());
    EXPECT_EQ(3, (text + "").GetLength());
    EXPECT_EQ("abcx", text + 'x');
    EXPECT_EQ(3, text.Left(7).GetLength());
    EXPECT_EQ("def", text.Right(3));

    StdString assigned;
    assigned = text;
    EXPECT_EQ("abc", assigned);

    StdString appended("<");
    appended += text;
    EXPECT_EQ("<abc", appended);
}

TEST(StdStringCopy, SingleCharactersKeepTheirNul)
{
    EXPECT_EQ(1, StdString('\0').GetLength());

    StdString assigned("abc");
    assigned = '\0';
    EXPECT_EQ(1, assigned.GetLength());

    EXPECT_EQ(4, (StdString("abc") + '\0').GetLength());
}

TEST(StdStringCopy, NullPointerIsTheEmptyText)
{
    const char8* none = nullptr;
    char8* mutableNone = nullptr;
    EXPECT_TRUE(StdString(none).IsEmpty());
    EXPECT_TRUE(StdString(mutableNone).IsEmpty());

    StdString assigned("abc");
    assigned = none;
    EXPECT_TRUE(assigned.IsEmpty());

    StdString appended("abc");
    appended += none;
    EXPECT_EQ("abc", appended);
    EXPECT_EQ("abc", appended + none);
}

TEST(StdStringCopy, CopyingFromItsOwnTextKeepsTheText)
{
    StdString text("path");
    StdString& same = text;
    text = same;
    EXPECT_EQ("path", text);

    text += same;
    EXPECT_EQ("pathpath", text);

    text = text.c_str() + 4;
    EXPECT_EQ("path", text);

    StdString nul = WithInnerNul();
    StdString& sameNul = nul;
    nul = sameNul;
    EXPECT_EQ("abc", nul) << "a copy onto itself also ends at the NUL";
}

// The number conversions must not hijack the string operators.
TEST(StdStringOperators, ComparisonsAndConcatenationAreTextOperations)
{
    StdString ten("10");
    StdString paddedTen("010");
    EXPECT_FALSE(ten == paddedTen);
    EXPECT_TRUE(ten != paddedTen);
    EXPECT_TRUE(ten == "10");
    EXPECT_FALSE(paddedTen == "10");
    EXPECT_TRUE(paddedTen < ten);

    StdString five("5");
    EXPECT_EQ("5x", five + "x");
    EXPECT_EQ("55", five + five);
    EXPECT_EQ("5!", five + '!');
    EXPECT_EQ("5", five) << "operators must leave the operands alone";

    std::ostringstream out;
    out << StdString(" Yes ");
    EXPECT_EQ(" Yes ", out.str());
}

TEST(StdStringSearch, FindsFirstAndLastPositions)
{
    const StdString text("abc");
    EXPECT_EQ(-1, text.Find('z'));
    EXPECT_EQ(2, text.Find('c'));
    EXPECT_EQ(1, text.Find("bc"));
    EXPECT_EQ(1, text.Find(StdString("bc")));
    EXPECT_EQ(-1, text.Find("bd"));
    EXPECT_EQ(2, text.ReverseFind('c'));
    EXPECT_EQ(-1, text.ReverseFind('z'));
}

TEST(StdStringSearch, StartPositionIsClamped)
{
    const StdString text("abcabc");
    EXPECT_EQ(-1, StdString("abc").Find('c', -1));
    EXPECT_EQ(-1, text.Find("c", -1));
    EXPECT_EQ(4, text.Find('b', 2));
    EXPECT_EQ(4, text.Find("bc", 2));
    EXPECT_EQ(-1, text.Find('a', 99));
    EXPECT_EQ(-1, text.Find("a", INT_MAX));
}

TEST(StdStringSearch, ReverseFindLooksAtOrBeforeThePosition)
{
    const StdString text("abcabc");
    EXPECT_EQ(3, text.ReverseFind("ab", StdString::npos));
    EXPECT_EQ(0, text.ReverseFind("ab", 2));
    EXPECT_EQ(2, text.ReverseFind(nullptr, 2));
    EXPECT_EQ(6, text.ReverseFind(nullptr, 99));
}

TEST(StdStringSearch, SearchTextEndsAtItsFirstNul)
{
    EXPECT_EQ(0, StdString("abcx").Find(WithInnerNul()));
    EXPECT_EQ(-1, StdString("abx").Find(WithInnerNul()));
}

TEST(StdStringCut, CountsAndPositionsAreClamped)
{
    const StdString text("abc");
    EXPECT_EQ("", text.Left(-5));
    EXPECT_EQ("ab", text.Left(2));
    EXPECT_EQ("abc", text.Left(99));
    EXPECT_EQ("", text.Right(-1));
    EXPECT_EQ("bc", text.Right(2));
    EXPECT_EQ("abc", text.Right(99));
    EXPECT_EQ("bc", text.Mid(1, 99));
    EXPECT_EQ("b", text.Mid(1, 1));
    EXPECT_EQ("", text.Mid(1, -1));
    EXPECT_EQ("", text.Mid(3, 1));
    EXPECT_EQ("", text.Mid(4, 1));
    EXPECT_EQ("ab", text.Mid(-2, 2));
    EXPECT_EQ("", text.Mid(INT_MAX, INT_MAX));
    EXPECT_EQ("abc", text.Mid(-1));
    EXPECT_EQ("abc", text.Mid(INT_MIN));
    EXPECT_EQ("bc", text.Mid(1));
    EXPECT_EQ("", text.Mid(3));
    EXPECT_EQ("", text.Mid(99));
    EXPECT_EQ("abc", text) << "cutting leaves the object alone";
}

TEST(StdStringTrim, RemovesOnlyBlankTabReturnAndLineFeed)
{
    StdString blank(" \t\r\n");
    EXPECT_EQ("", blank.Trim());

    StdString formFeed("\fabc");
    EXPECT_EQ("\fabc", formFeed.Trim());

    StdString both("\t a b \r\n");
    EXPECT_EQ("a b", both.Trim());

    StdString left(" \ta ");
    EXPECT_EQ("a ", left.TrimLeft());
    StdString right(" a\t\n");
    EXPECT_EQ(" a", right.TrimRight());
    StdString vertical("\va\v");
    EXPECT_EQ("\va\v", vertical.Trim());
}

TEST(StdStringTrim, TrimsACharacterOrASetOfCharacters)
{
    StdString zeros("00120");
    EXPECT_EQ("120", zeros.TrimLeft('0'));
    EXPECT_EQ("12", zeros.TrimRight('0'));

    StdString path("/-/x/-");
    EXPECT_EQ("x/-", path.TrimLeft("-/"));
    EXPECT_EQ("x", path.TrimRight("/-"));

    StdString only("xxx");
    EXPECT_EQ("", only.TrimRight('x'));
    StdString kept("abc");
    EXPECT_EQ("abc", kept.TrimLeft(nullptr).TrimRight(nullptr));
}

TEST(StdStringCase, FoldsAsciiLettersOnly)
{
    StdString text("aB1-\xe4z");
    EXPECT_EQ("AB1-\xe4Z", text.ToUpper());
    EXPECT_EQ("ab1-\xe4z", text.ToLower());

    StdString messy("  MiXeD\r\n");
    EXPECT_EQ("mixed", messy.Normalize());

    StdString reversed("abc");
    EXPECT_EQ("cba", reversed.MakeReverse());
}

TEST(StdStringEdit, InsertAppendsForPositionsOutsideTheText)
{
    StdString empty;
    EXPECT_EQ(1, empty.Insert(10, 'x'));
    EXPECT_EQ("x", empty);

    StdString text("abc");
    EXPECT_EQ(5, text.Insert(1, "XY"));
    EXPECT_EQ("aXYbc", text);

    StdString appended("abc");
    EXPECT_EQ(4, appended.Insert(-1, 'x'));
    EXPECT_EQ("abcx", appended);
    EXPECT_EQ(6, appended.Insert(4, "yz"));
    EXPECT_EQ("abcxyz", appended);
    EXPECT_EQ(6, appended.Insert(0, static_cast<const char8*>(nullptr)));
    EXPECT_EQ(7, appended.Insert(0, '\0'));
    EXPECT_EQ('\0', appended[0]);
}

TEST(StdStringEdit, DeleteClampsIndexAndCount)
{
    StdString text("abc");
    EXPECT_EQ(2, text.Delete(-3, 1));
    EXPECT_EQ("bc", text);

    StdString toEnd("abc");
    EXPECT_EQ(1, toEnd.Delete(1, -1));
    EXPECT_EQ("a", toEnd);

    StdString past("abc");
    EXPECT_EQ(3, past.Delete(3, 1));
    EXPECT_EQ("abc", past);
    EXPECT_EQ(1, past.Delete(1, 99));
    EXPECT_EQ("a", past);
}

TEST(StdStringEdit, ReplaceWorksLeftToRightWithoutOverlap)
{
    StdString doubled("aba");
    EXPECT_EQ(2, doubled.Replace("a", "aa"));
    EXPECT_EQ("aabaa", doubled);

    StdString unchanged("aba");
    EXPECT_EQ(0, unchanged.Replace("", "x"));
    EXPECT_EQ(0, unchanged.Replace(nullptr, "x"));
    EXPECT_EQ("aba", unchanged);
    EXPECT_EQ(2, unchanged.Replace('a', 'a'));
    EXPECT_EQ("aba", unchanged);

    StdString overlapping("aaa");
    EXPECT_EQ(1, overlapping.Replace("aa", "b"));
    EXPECT_EQ("ba", overlapping);

    StdString removed("a-b-c");
    EXPECT_EQ(2, removed.Replace("-", nullptr));
    EXPECT_EQ("abc", removed);

    StdString characters("a.b.c");
    EXPECT_EQ(2, characters.Replace('.', '/'));
    EXPECT_EQ("a/b/c", characters);
}

TEST(StdStringEdit, RemoveDropsEveryOccurrence)
{
    StdString hello("hello");
    EXPECT_EQ("heo", hello.Remove('l'));
    EXPECT_EQ("heo", hello.Remove('z'));

    StdString nul = WithInnerNul();
    EXPECT_EQ(7, nul.Remove('z').GetLength()) << "a string without the character stays whole";
    EXPECT_EQ("abcdef", nul.Remove('\0'));
    StdString cut = WithInnerNul();
    EXPECT_EQ("ab", cut.Remove('c'));
}

TEST(StdStringCompare, ComparesBytewiseOrIgnoringCase)
{
    EXPECT_EQ(0, StdString("abc").Compare("abc"));
    EXPECT_LT(StdString("abc").Compare("abd"), 0);
    EXPECT_GT(StdString("abd").Compare("abc"), 0);
    EXPECT_GT(StdString("abc").Compare(nullptr), 0);

    EXPECT_EQ(0, StdString("abc").CompareNoCase("ABC"));
    EXPECT_LT(StdString("ABC").CompareNoCase("abd"), 0);
    EXPECT_EQ(0, StdString().CompareNoCase(nullptr));
    EXPECT_EQ(0, WithInnerNul().CompareNoCase("ABC"));
}

TEST(StdStringBuffer, GetBufferLengthensAndReleaseBufferSetsTheLength)
{
    StdString text("ab");
    char8* buffer = text.GetBuffer(5);
    EXPECT_EQ(5, text.GetLength());
    EXPECT_EQ('\0', buffer[4]);
    buffer[2] = 'c';
    text.ReleaseBuffer(-1);
    EXPECT_EQ("abc", text);

    text.GetBuffer(1);
    EXPECT_EQ(3, text.GetLength()) << "a shorter request keeps the text";

    text.ReleaseBuffer(5);
    EXPECT_EQ(5, text.GetLength());
    text.ReleaseBuffer(1);
    EXPECT_EQ("a", text);

    StdString empty;
    EXPECT_STREQ("", empty.GetBuffer(0));
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(StdStringFormat, ReplacesTheContentWithTheFormattedText)
{
    StdString text("old content");
    text.Format("%s=%d", "size", 42);
    EXPECT_EQ("size=42", text);

    text.Format("%s/%s", text.c_str(), "x");
    EXPECT_EQ("size=42/x", text) << "an argument may point into the string itself";
}

TEST(StdStringFormat, TextLongerThanTheBufferIsKeptWhole)
{
    const std::string longText(5000, 'q');
    StdString text;
    text.Format("<%s>", longText.c_str());
    EXPECT_EQ("<" + longText + ">", text);

    text.Format("%c", '\0');
    EXPECT_TRUE(text.IsEmpty());
}

TEST(StdStringConvert, IntegerTrimsLowerCasesAndReadsDecimalOrHex)
{
    StdString padded("  42 ");
    EXPECT_EQ(42, static_cast<int32>(padded));
    EXPECT_EQ("42", padded);

    StdString hex("0X1F");
    EXPECT_EQ(31, static_cast<int32>(hex));
    EXPECT_EQ("0x1f", hex);

    StdString sixteen("0x10");
    StdString negative("-7");
    StdString hexDigitsOnly("ff");
    StdString allBits("0xffffffff");
    StdString empty;
    StdString noDigits("x");
    StdString trailing("12abc");
    EXPECT_EQ(16, static_cast<int32>(sixteen));
    EXPECT_EQ(-7, static_cast<int32>(negative));
    EXPECT_EQ(0, static_cast<int32>(hexDigitsOnly));
    EXPECT_EQ(-1, static_cast<int32>(allBits));
    EXPECT_EQ(0, static_cast<int32>(empty));
    EXPECT_EQ(0, static_cast<int32>(noDigits));
    EXPECT_EQ(12, static_cast<int32>(trailing));
}

TEST(StdStringConvert, BoolNormalisesAndAcceptsFourWords)
{
    StdString yes(" Yes\r\n");
    EXPECT_TRUE(static_cast<bool>(yes));
    EXPECT_EQ("yes", yes);

    for (const char8* word : {"TRUE", "on", "1", "\ttrue "}) {
        StdString text(word);
        EXPECT_TRUE(static_cast<bool>(text)) << word;
    }
    for (const char8* word : {"2", "y", "", "truey", "0", "off"}) {
        StdString text(word);
        EXPECT_FALSE(static_cast<bool>(text)) << word;
    }
}

TEST(StdStringConvert, DoubleReadsTheLongestNumberAndKeepsTheText)
{
    const StdString text("3.5abc");
    EXPECT_DOUBLE_EQ(3.5, static_cast<double>(text));
    EXPECT_EQ("3.5abc", text);
    const StdString noNumber("abc");
    const StdString exponent(" -2.5e3");
    EXPECT_DOUBLE_EQ(0.0, static_cast<double>(noNumber));
    EXPECT_DOUBLE_EQ(-2500.0, static_cast<double>(exponent));
}

TEST(StdStringConvert, NumbersToText)
{
    StdString text("previous");
    EXPECT_EQ("-12", text.IntToString(-12));
    EXPECT_EQ("0", text.IntToString(0));
    EXPECT_EQ("-2147483648", text.IntToString(INT32_MIN));
    EXPECT_EQ("0.1", text.DoubleToString(0.1));
    EXPECT_EQ("100000", text.DoubleToString(100000.0));
    EXPECT_EQ("1e+06", text.DoubleToString(1000000.0));
    EXPECT_EQ("-1.5", text.DoubleToString(-1.5));
}

class StdStringFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "stdstring-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        m_dir = pattern;
    }

    void TearDown() override { std::filesystem::remove_all(m_dir); }

    StdString PathOf(const char8* name) const { return StdString((m_dir / name).c_str()); }

    std::string ContentOf(const StdString& path) const
    {
        std::ifstream in(path.c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path m_dir;
};

TEST_F(StdStringFileTest, ReadsEveryByteIncludingNulAndCarriageReturn)
{
    const std::string bytes("a\0b\r\nc", 6);
    StdString path = PathOf("data");
    std::ofstream(path.c_str(), std::ios::binary) << bytes;

    StdString text("previous");
    EXPECT_EQ(6u, text.ReadFromFile(path));
    EXPECT_EQ(bytes, static_cast<const std::string&>(text));
}

TEST_F(StdStringFileTest, ReadsLargeFilesWhole)
{
    std::string bytes;
    for (int i = 0; i < 20000; ++i) {
        bytes += static_cast<char>(i % 251);
    }
    StdString path = PathOf("large");
    std::ofstream(path.c_str(), std::ios::binary) << bytes;

    StdString text;
    EXPECT_EQ(bytes.size(), text.ReadFromFile(path));
    EXPECT_EQ(bytes, static_cast<const std::string&>(text));
}

TEST_F(StdStringFileTest, UnreadableNamesGiveZeroAndAnEmptyString)
{
    StdString text("previous");
    StdString empty;
    EXPECT_EQ(0u, text.ReadFromFile(empty));
    EXPECT_TRUE(text.IsEmpty());

    text = "previous";
    StdString missing = PathOf("missing");
    EXPECT_EQ(0u, text.ReadFromFile(missing));
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(StdStringFileTest, WritesEveryByteAndReplacesTheFile)
{
    StdString path = PathOf("out");
    StdString longer("a much longer first content");
    EXPECT_EQ(27u, longer.WriteToFile(path));

    StdString text = WithInnerNul();
    EXPECT_EQ(7u, text.WriteToFile(path));
    EXPECT_EQ(std::string("abc\0def", 7), ContentOf(path));

    StdString copy;
    EXPECT_EQ(7u, copy.ReadFromFile(path));
}

TEST_F(StdStringFileTest, WriteWithoutAUsableNameGivesZero)
{
    StdString text("abc");
    StdString empty;
    EXPECT_EQ(0u, text.WriteToFile(empty));
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));

    StdString inMissingFolder = PathOf("missing/out");
    EXPECT_EQ(0u, text.WriteToFile(inMissingFolder));
}

} // namespace
