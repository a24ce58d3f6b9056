#include "StdString.h"

#include "UnitTest.h"

#include <climits>
#include <cstdint>
#include <sstream>

namespace
{

using Texts = std::vector<std::pair<StdString, StdString>>;
using Numbers = std::vector<std::pair<int64_t, int64_t>>;

// "abc", a NUL, "def": seven characters, of which a copy keeps three.
StdString WithInnerNul()
{
    StdString text("abc");
    text += '\0';
    text += "def";
    return text;
}

TEST(StdStringCopy, TextIsTakenUpToTheFirstNulButSingleCharactersKeepTheirNul)
{
    const StdString text = WithInnerNul();
    ASSERT_EQ(7, text.GetLength());
    StdString assigned, appended("<");
    assigned = text;
    appended += text;
    const Texts texts = {
        {text + 'x', "abcx"}, {text.Right(3), "def"}, {assigned, "abc"}, {appended, "<abc"}};
    expectCases(texts);
    assigned = '\0';
    const Numbers numbers = {
        {StdString(text).GetLength(), 3}, {(text + "").GetLength(), 3},
        {text.Left(7).GetLength(), 3},    {StdString('\0').GetLength(), 1},
        {assigned.GetLength(), 1},        {(StdString("abc") + '\0').GetLength(), 4}};
    expectCases(numbers);
}

TEST(StdStringCopy, NullPointerIsTheEmptyText)
{
    const char8* none = nullptr;
    char8* mutableNone = nullptr;
    EXPECT_TRUE(StdString(none).IsEmpty());
    EXPECT_TRUE(StdString(mutableNone).IsEmpty());
    StdString text("abc");
    text += none;
    EXPECT_EQ("abc", text + none);
    text = none;
    EXPECT_TRUE(text.IsEmpty());
}

TEST(StdStringCopy, CopyingFromItsOwnTextKeepsTheText)
{
    StdString text("path"), nul = WithInnerNul();
    StdString &same = text, &sameNul = nul;
    text = same;
    EXPECT_EQ("path", text);
    text += same;
    EXPECT_EQ("pathpath", text);
    text = text.c_str() + 4;
    EXPECT_EQ("path", text);
    nul = sameNul;
    EXPECT_EQ("abc", nul) << "a copy onto itself also ends at the NUL";
}

// The number conversions must not hijack the string operators.
TEST(StdStringOperators, ComparisonsAndConcatenationAreTextOperations)
{
    StdString ten("10"), paddedTen("010"), five("5");
    EXPECT_TRUE(ten != paddedTen && !(ten == paddedTen) && paddedTen < ten);
    EXPECT_TRUE(ten == "10");
    EXPECT_FALSE(paddedTen == "10");
    const Texts texts = {{five + "x", "5x"}, {five + five, "55"}, {five + '!', "5!"}};
    expectCases(texts);
    EXPECT_EQ("5", five) << "operators must leave the operands alone";
    std::ostringstream out;
    out << StdString(" Yes ");
    EXPECT_EQ(" Yes ", out.str());
}

TEST(StdStringSearch, FindsFirstAndLastPositionsWithClampedStarts)
{
    const StdString text("abcabc"), abc("abc"), bc("bc"), abcx("abcx"), abx("abx");
    const int32 most = INT_MAX;
    const Numbers numbers = {{text.Find('z'), -1},          {text.Find('c'), 2},
                             {text.Find("bc"), 1},          {text.Find(bc), 1},
                             {text.Find("bd"), -1},         {abc.Find('c', -1), -1},
                             {text.Find("c", -1), -1},      {text.Find('b', 2), 4},
                             {text.Find("bc", 2), 4},       {text.Find('a', 99), -1},
                             {text.Find("a", most), -1},    {abcx.Find(WithInnerNul()), 0},
                             {abx.Find(WithInnerNul()), -1}};
    expectCases(numbers);
    const Numbers reverse = {{text.ReverseFind('c'), 5},
                             {text.ReverseFind('z'), -1},
                             {text.ReverseFind("ab", StdString::npos), 3},
                             {text.ReverseFind("ab", 2), 0},
                             {text.ReverseFind(nullptr, 2), 2},
                             {text.ReverseFind(nullptr, 99), 6}};
    expectCases(reverse);
}

TEST(StdStringCut, CountsAndPositionsAreClamped)
{
    const StdString text("abc");
    const int32 most = INT_MAX, least = INT_MIN;
    const Texts texts = {
        {text.Left(-5), ""},        {text.Left(2), "ab"},  {text.Left(99), "abc"},
        {text.Right(-1), ""},       {text.Right(2), "bc"}, {text.Right(99), "abc"},
        {text.Mid(1, 99), "bc"},    {text.Mid(1, 1), "b"}, {text.Mid(1, -1), ""},
        {text.Mid(3, 1), ""},       {text.Mid(4, 1), ""},  {text.Mid(-2, 2), "ab"},
        {text.Mid(most, most), ""}, {text.Mid(-1), "abc"}, {text.Mid(least), "abc"},
        {text.Mid(1), "bc"},        {text.Mid(3), ""},     {text.Mid(99), ""}};
    expectCases(texts);
    EXPECT_EQ("abc", text) << "cutting leaves the object alone";
}

TEST(StdStringTrim, TrimsBlankTabReturnAndLineFeedOrTheGivenCharacters)
{
    StdString blank(" \t\r\n"), formFeed("\fabc"), vertical("\va\v"), both("\t a b \r\n");
    StdString left(" \ta "), right(" a\t\n"), zeros("00120"), path("/-/x/-"), only("xxx");
    StdString kept("abc");
    const Texts texts = {
        {blank.Trim(), ""},           {formFeed.Trim(), "\fabc"},
        {vertical.Trim(), "\va\v"},   {both.Trim(), "a b"},
        {left.TrimLeft(), "a "},      {right.TrimRight(), " a"},
        {zeros.TrimLeft('0'), "120"}, {zeros.TrimRight('0'), "12"},
        {path.TrimLeft("-/"), "x/-"}, {path.TrimRight("/-"), "x"},
        {only.TrimRight('x'), ""},    {kept.TrimLeft(nullptr).TrimRight(nullptr), "abc"}};
    expectCases(texts);
}

TEST(StdStringCase, FoldsAsciiLettersOnly)
{
    StdString text("aB1-\xe4z"), messy("  MiXeD\r\n"), reversed("abc");
    const Texts texts = {{text.ToUpper(), "AB1-\xe4Z"},
                         {text.ToLower(), "ab1-\xe4z"},
                         {messy.Normalize(), "mixed"},
                         {reversed.MakeReverse(), "cba"}};
    expectCases(texts);
}

// "COUNT:TEXT" after an edit; the text is read once the edit has run.
std::string Edited(ssize_t count, const StdString& text)
{
    return std::to_string(count) + ":" + static_cast<const std::string&>(text);
}

TEST(StdStringEdit, InsertDeleteAndReplaceClampPositionsAndWorkLeftToRight)
{
    const char8* none = nullptr;
    StdString empty, text("abc"), appended("abc"), front("abc"), toEnd("abc"), past("abc");
    StdString doubled("aba"), unchanged("aba"), overlapping("aaa"), removed("a-b-c");
    StdString characters("a.b.c");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Edited(empty.Insert(10, 'x'), empty), "1:x"},
        {Edited(text.Insert(1, "XY"), text), "5:aXYbc"},
        {Edited(appended.Insert(-1, 'x'), appended), "4:abcx"},
        {Edited(appended.Insert(4, "yz"), appended), "6:abcxyz"},
        {Edited(appended.Insert(0, none), appended), "6:abcxyz"},
        {Edited(appended.Insert(0, '\0'), appended), std::string("7:\0abcxyz", 9)},
        {Edited(front.Delete(-3, 1), front), "2:bc"},
        {Edited(toEnd.Delete(1, -1), toEnd), "1:a"},
        {Edited(past.Delete(3, 1), past), "3:abc"},
        {Edited(past.Delete(1, 99), past), "1:a"},
        {Edited(doubled.Replace("a", "aa"), doubled), "2:aabaa"},
        {Edited(unchanged.Replace("", "x"), unchanged), "0:aba"},
        {Edited(unchanged.Replace(nullptr, "x"), unchanged), "0:aba"},
        {Edited(unchanged.Replace('a', 'a'), unchanged), "2:aba"},
        {Edited(overlapping.Replace("aa", "b"), overlapping), "1:ba"},
        {Edited(removed.Replace("-", nullptr), removed), "2:abc"},
        {Edited(characters.Replace('.', '/'), characters), "2:a/b/c"}};
    expectCases(cases);
}

TEST(StdStringEdit, RemoveDropsEveryOccurrence)
{
    StdString hello("hello"), nul = WithInnerNul(), cut = WithInnerNul();
    EXPECT_EQ("heo", hello.Remove('l'));
    EXPECT_EQ("heo", hello.Remove('z'));
    EXPECT_EQ(7, nul.Remove('z').GetLength()) << "a string without the character stays whole";
    EXPECT_EQ("abcdef", nul.Remove('\0'));
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

TEST(StdStringFormat, ReplacesTheContentWhateverItsLength)
{
    StdString text("old content");
    text.Format("%s=%d", "size", 42);
    EXPECT_EQ("size=42", text);
    text.Format("%s/%s", text.c_str(), "x");
    EXPECT_EQ("size=42/x", text) << "an argument may point into the string itself";
    const std::string longText(5000, 'q');
    text.Format("<%s>", longText.c_str());
    EXPECT_EQ("<" + longText + ">", text) << "longer than the buffer, kept whole";
    text.Format("%c", '\0');
    EXPECT_TRUE(text.IsEmpty());
}

TEST(StdStringConvert, IntegerTrimsLowerCasesAndReadsDecimalOrHex)
{
    StdString padded("  42 "), hex("0X1F");
    EXPECT_EQ(42, static_cast<int32>(padded));
    EXPECT_EQ(31, static_cast<int32>(hex));
    const Texts texts = {{padded, "42"}, {hex, "0x1f"}};
    expectCases(texts);
    const std::vector<std::pair<const char8*, int32>> cases = {
        {"0x10", 16}, {"-7", -7}, {"ff", 0}, {"0xffffffff", -1}, {"", 0}, {"x", 0}, {"12abc", 12}};
    for (const auto& [text, value] : cases) {
        StdString number(text);
        EXPECT_EQ(value, static_cast<int32>(number)) << text;
    }
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
    const StdString text("3.5abc"), noNumber("abc"), exponent(" -2.5e3");
    EXPECT_DOUBLE_EQ(3.5, static_cast<double>(text));
    EXPECT_EQ("3.5abc", text);
    EXPECT_DOUBLE_EQ(0.0, static_cast<double>(noNumber));
    EXPECT_DOUBLE_EQ(-2500.0, static_cast<double>(exponent));
}

TEST(StdStringConvert, NumbersToText)
{
    StdString text("previous");
    const Texts texts = {{text.IntToString(-12), "-12"},
                         {text.IntToString(0), "0"},
                         {text.IntToString(INT32_MIN), "-2147483648"},
                         {text.DoubleToString(0.1), "0.1"},
                         {text.DoubleToString(100000.0), "100000"},
                         {text.DoubleToString(1000000.0), "1e+06"},
                         {text.DoubleToString(-1.5), "-1.5"}};
    expectCases(texts);
}

using StdStringFileTest = TempDirTest;

TEST_F(StdStringFileTest, ReadsEveryByteOfALargeFileIncludingNulAndCarriageReturn)
{
    std::string bytes("a\0b\r\nc", 6);
    for (int i = 0; i < 20000; ++i) {
        bytes += static_cast<char>(i % 251);
    }
    StdString name(write("data", bytes).c_str()), text("previous");
    EXPECT_EQ(bytes.size(), text.ReadFromFile(name));
    EXPECT_EQ(bytes, static_cast<const std::string&>(text));
}

TEST_F(StdStringFileTest, WritesEveryByteAndReplacesTheFile)
{
    StdString name(path("out").c_str()), longer("a much longer first content");
    StdString text = WithInnerNul();
    EXPECT_EQ(27u, longer.WriteToFile(name));
    EXPECT_EQ(7u, text.WriteToFile(name));
    EXPECT_EQ(std::string("abc\0def", 7), readFile(path("out")));
}

TEST_F(StdStringFileTest, UnusableNamesGiveZeroAndReadingEmptiesTheString)
{
    StdString text("previous"), empty, missing(path("missing").c_str());
    StdString inMissingFolder(path("missing/out").c_str());
    EXPECT_EQ(0u, text.WriteToFile(empty));
    EXPECT_EQ(0u, text.WriteToFile(inMissingFolder));
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));
    EXPECT_EQ(0u, text.ReadFromFile(empty));
    EXPECT_TRUE(text.IsEmpty());
    text = "previous";
    EXPECT_EQ(0u, text.ReadFromFile(missing));
    EXPECT_TRUE(text.IsEmpty());
}

} // namespace
