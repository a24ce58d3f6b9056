#include "StrTokenizer.h"

#include "UnitTest.h"

#include <cstdint>

namespace
{

// The tokens joined by '|', so that a whole split fits one table cell.
std::string Split(const StdString& input, const StdString& delimiter)
{
    StrTokenizer tokenizer(input, delimiter);
    std::string joined;
    for (ssize_t index = 0; index < tokenizer.GetSize(); ++index) {
        joined += (index == 0 ? "" : "|") + std::string(tokenizer[index]);
    }
    return joined;
}

TEST(StrTokenizerSplit, CutsAtEveryWholeDelimiterKeepingEmptyTokensAndBlanks)
{
    // "aaa" by "aa": occurrences are taken from the left.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Split("a,b,c", ","), "a|b|c"}, {Split("a,,b", ","), "a||b"},
        {Split(",a", ","), "|a"},       {Split("a,", ","), "a|"},
        {Split(",", ","), "|"},         {Split("abc", ","), "abc"},
        {Split("abc", ""), "abc"},      {Split("a, b, c", ", "), "a|b|c"},
        {Split("a , b", ","), "a | b"}, {Split("a,b::c", "::"), "a,b|c"},
        {Split("::::a", "::::"), "|a"}, {Split("aaa", "aa"), "|a"},
        {Split("aaaa", "aa"), "||"}};
    expectCases(cases);
}

TEST(StrTokenizerSplit, EmptyInputGivesNoTokens)
{
    StrTokenizer empty("", ","), fresh;
    EXPECT_EQ(0, empty.GetSize());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_FALSE(StrTokenizer("abc", "").IsEmpty());
    EXPECT_TRUE(fresh.IsEmpty());
    EXPECT_EQ("", fresh.Left(0));
}

TEST(StrTokenizerSplit, LaterCallsReplaceOrKeepTheTokens)
{
    StrTokenizer tokenizer("a,b,c", ",");
    tokenizer.InitializeTokenizer("", ",");
    EXPECT_EQ(3, tokenizer.GetSize());
    tokenizer.InitializeTokenizer("d", "");
    EXPECT_EQ(4, tokenizer.GetSize());
    EXPECT_EQ("a,b,c,d", tokenizer.Left(3)) << "the former delimiter still joins";
    tokenizer.InitializeTokenizer("x;y", ";");
    EXPECT_EQ(2, tokenizer.GetSize());
    EXPECT_EQ("x;y", tokenizer.Left(1));
}

TEST(StrTokenizerSplit, TextAfterANulDoesNotSurvive)
{
    StdString input("a,b");
    input += '\0';
    input += ",c";
    EXPECT_EQ("a|b", Split(input, ","));
    EXPECT_EQ("a,b", Split("a,b", StdString('\0'))) << "a delimiter that starts with NUL is empty";
}

TEST(StrTokenizerJoin, LeftRightAndMidJoinRunsOfTokensWithClampedIndexes)
{
    StrTokenizer tokenizer("a,b,c", ","), spaced("a, b, c", ", "), gaps(",a,,b,", ",");
    const std::vector<std::pair<StdString, StdString>> cases = {
        {tokenizer.Left(0), "a"},      {tokenizer.Left(1), "a,b"},    {tokenizer.Left(2), "a,b,c"},
        {tokenizer.Left(3), ""},       {tokenizer.Left(-1), ""},      {tokenizer.Right(0), "a,b,c"},
        {tokenizer.Right(1), "b,c"},   {tokenizer.Right(2), "c"},     {tokenizer.Right(3), ""},
        {tokenizer.Right(-1), ""},     {tokenizer.Mid(1, 1), "b"},    {tokenizer.Mid(0, 1), "a,b"},
        {tokenizer.Mid(1, 99), "b,c"}, {tokenizer.Mid(-1, 1), "a,b"}, {tokenizer.Mid(-1, 99), ""},
        {tokenizer.Mid(2, 1), ""},     {tokenizer.Mid(-5, -1), ""},   {tokenizer.Mid(3, 3), ""},
        {spaced.Left(2), "a, b, c"},   {gaps.Left(4), ",a,,b,"},      {gaps.Mid(2, 4), ",b,"}};
    expectCases(cases);
}

// What GetAt stores into a variable that held `value` before.
template <typename T> T At(const StrTokenizer& tokenizer, ssize_t index, T value = T(1))
{
    tokenizer.GetAt(index, value);
    return value;
}

TEST(StrTokenizerGetAt, ReadsTextAndDecimalNumbers)
{
    StdString large;
    large.IntToString(65536 + 5);
    const StrTokenizer tokenizer(StdString("12,-1,x,") + large + ",0x10, 7,-2", ",");
    EXPECT_EQ("12", At<StdString>(tokenizer, 0, "previous"));
    EXPECT_EQ(12, At<int32>(tokenizer, 0));
    EXPECT_EQ(0, At<int32>(tokenizer, 2));
    EXPECT_EQ(0, At<int32>(tokenizer, 4)) << "hexadecimal is not read";
    EXPECT_EQ(7, At<int32>(tokenizer, 5)) << "leading blanks are skipped";
    EXPECT_EQ(UINT32_MAX, At<uint32>(tokenizer, 1));
    EXPECT_EQ(5, At<uint16>(tokenizer, 3));
    EXPECT_EQ(5, At<int16>(tokenizer, 3));
    EXPECT_EQ(-2, At<int16>(tokenizer, 6));

    StrTokenizer reals("2.5e3;-0.25;abc", ";");
    EXPECT_DOUBLE_EQ(2500.0, At<double>(reals, 0));
    EXPECT_DOUBLE_EQ(-0.25, At<double>(reals, 1));
    EXPECT_DOUBLE_EQ(0.0, At<double>(reals, 2));
    EXPECT_EQ("abc", reals[2]) << "reading leaves the token alone";
}

TEST(StrTokenizerGetAt, OutOfRangeGivesEmptyTextOrZero)
{
    StrTokenizer tokenizer("12,-1,x,65541", ",");
    for (ssize_t index : {ssize_t(-1), ssize_t(4), ssize_t(5)}) {
        EXPECT_EQ("", At<StdString>(tokenizer, index, "previous")) << index;
        EXPECT_EQ(0, At<int32>(tokenizer, index)) << index;
        EXPECT_EQ(0u, At<uint32>(tokenizer, index)) << index;
        EXPECT_EQ(0, At<int16>(tokenizer, index)) << index;
        EXPECT_EQ(0, At<uint16>(tokenizer, index)) << index;
        EXPECT_EQ(0.0, At<double>(tokenizer, index)) << index;
        EXPECT_EQ("", tokenizer[index]) << index;
    }
    EXPECT_EQ(4, tokenizer.GetSize());
}

} // namespace
