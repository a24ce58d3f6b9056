#include "StrTokenizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> TokensOf(StrTokenizer& tokenizer)
{
    std::vector<std::string> tokens;
    for (ssize_t index = 0; index < tokenizer.GetSize(); ++index) {
        tokens.push_back(tokenizer[index]);
    }
    return tokens;
}

std::vector<std::string> Split(const char8* input, const char8* delimiter)
{
    StrTokenizer tokenizer(input, delimiter);
    return TokensOf(tokenizer);
}

using Tokens = std::vector<std::string>;

TEST(StrTokenizerSplit, CutsAtEveryDelimiterAndKeepsEmptyTokens)
{
    EXPECT_EQ((Tokens{"a", "b", "c"}), Split("a,b,c", ","));
    EXPECT_EQ((Tokens{"a", "", "b"}), Split("a,,b", ","));
    EXPECT_EQ((Tokens{"", "a"}), Split(",a", ","));
    EXPECT_EQ((Tokens{"a", ""}), Split("a,", ","));
    EXPECT_EQ((Tokens{"", ""}), Split(",", ","));
    EXPECT_EQ((Tokens{"abc"}), Split("abc", ","));
}

TEST(StrTokenizerSplit, UsesTheWholeDelimiterAndNeverTrims)
{
    EXPECT_EQ((Tokens{"a", "b", "c"}), Split("a, b, c", ", "));
    EXPECT_EQ((Tokens{"a ", " b"}), Split("a , b", ","));
    EXPECT_EQ((Tokens{"a,b", "c"}), Split("a,b::c", "::"));
    EXPECT_EQ((Tokens{"", "a"}), Split("::::a", "::::"));
    EXPECT_EQ((Tokens{"", "a"}), Split("aaa", "aa")) << "occurrences are taken from the left";
    EXPECT_EQ((Tokens{"", "", ""}), Split("aaaa", "aa"));
}

TEST(StrTokenizerSplit, EmptyInputOrDelimiter)
{
    StrTokenizer empty("", ",");
    EXPECT_EQ(0, empty.GetSize());
    EXPECT_TRUE(empty.IsEmpty());

    StrTokenizer whole("abc", "");
    EXPECT_EQ((Tokens{"abc"}), TokensOf(whole));
    EXPECT_FALSE(whole.IsEmpty());

    StrTokenizer fresh;
    EXPECT_TRUE(fresh.IsEmpty());
    EXPECT_EQ("", fresh.Left(0));
}

TEST(StrTokenizerSplit, LaterCallsReplaceOrKeepTheTokens)
{
    StrTokenizer tokenizer("a,b,c", ",");
    tokenizer.InitializeTokenizer("", ",");
    EXPECT_EQ((Tokens{"a", "b", "c"}), TokensOf(tokenizer));

    tokenizer.InitializeTokenizer("d", "");
    EXPECT_EQ((Tokens{"a", "b", "c", "d"}), TokensOf(tokenizer));
    EXPECT_EQ("a,b,c,d", tokenizer.Left(3)) << "the former delimiter still joins";

    tokenizer.InitializeTokenizer("x;y", ";");
    EXPECT_EQ((Tokens{"x", "y"}), TokensOf(tokenizer));
    EXPECT_EQ("x;y", tokenizer.Left(1));
}

TEST(StrTokenizerSplit, TextAfterANulDoesNotSurvive)
{
    StdString input("a,b");
    input += '\0';
    input += ",c";
    StrTokenizer tokenizer(input, ",");
    EXPECT_EQ((Tokens{"a", "b"}), TokensOf(tokenizer));

    StdString nulDelimiter('\0');
    StrTokenizer whole("a,b", nulDelimiter);
    EXPECT_EQ((Tokens{"a,b"}), TokensOf(whole)) << "a delimiter that starts with NUL is empty";
}

TEST(StrTokenizerJoin, JoinsRunsOfTokensWithinRange)
{
    StrTokenizer tokenizer("a,b,c", ",");
    EXPECT_EQ("a", tokenizer.Left(0));
    EXPECT_EQ("a,b", tokenizer.Left(1));
    EXPECT_EQ("a,b,c", tokenizer.Left(2));
    EXPECT_EQ("", tokenizer.Left(3));
    EXPECT_EQ("", tokenizer.Left(-1));

    EXPECT_EQ("a,b,c", tokenizer.Right(0));
    EXPECT_EQ("b,c", tokenizer.Right(1));
    EXPECT_EQ("c", tokenizer.Right(2));
    EXPECT_EQ("", tokenizer.Right(3));
    EXPECT_EQ("", tokenizer.Right(-1));
}

TEST(StrTokenizerJoin, MidClampsItsIndexes)
{
    StrTokenizer tokenizer("a,b,c", ",");
    EXPECT_EQ("b", tokenizer.Mid(1, 1));
    EXPECT_EQ("a,b", tokenizer.Mid(0, 1));
    EXPECT_EQ("b,c", tokenizer.Mid(1, 99));
    EXPECT_EQ("a,b", tokenizer.Mid(-1, 1));
    EXPECT_EQ("", tokenizer.Mid(-1, 99));
    EXPECT_EQ("", tokenizer.Mid(2, 1));
    EXPECT_EQ("", tokenizer.Mid(-5, -1));
    EXPECT_EQ("", tokenizer.Mid(3, 3));
}

TEST(StrTokenizerJoin, MultiCharacterDelimiterAndEmptyTokensRoundTrip)
{
    StrTokenizer spaced("a, b, c", ", ");
    EXPECT_EQ("a, b, c", spaced.Left(2));

    StrTokenizer gaps(",a,,b,", ",");
    EXPECT_EQ(",a,,b,", gaps.Left(gaps.GetSize() - 1));
    EXPECT_EQ(",b,", gaps.Mid(2, 4));
}

TEST(StrTokenizerGetAt, ReadsTextAndDecimalNumbers)
{
    StdString large;
    large.IntToString(65536 + 5);
    StrTokenizer tokenizer(StdString("12,-1,x,") + large + ",0x10, 7,-2", ",");

    StdString text("previous");
    tokenizer.GetAt(0, text);
    EXPECT_EQ("12", text);

    int32 signedValue = 99;
    tokenizer.GetAt(0, signedValue);
    EXPECT_EQ(12, signedValue);
    tokenizer.GetAt(2, signedValue);
    EXPECT_EQ(0, signedValue);
    tokenizer.GetAt(4, signedValue);
    EXPECT_EQ(0, signedValue) << "hexadecimal is not read";
    tokenizer.GetAt(5, signedValue);
    EXPECT_EQ(7, signedValue) << "leading blanks are skipped";

    uint32 unsignedValue = 0;
    tokenizer.GetAt(1, unsignedValue);
    EXPECT_EQ(UINT32_MAX, unsignedValue);

    uint16 shortValue = 0;
    tokenizer.GetAt(3, shortValue);
    EXPECT_EQ(5, shortValue);

    int16 signedShort = 0;
    tokenizer.GetAt(6, signedShort);
    EXPECT_EQ(-2, signedShort);
    tokenizer.GetAt(3, signedShort);
    EXPECT_EQ(5, signedShort);
}

TEST(StrTokenizerGetAt, OutOfRangeGivesEmptyTextOrZero)
{
    StrTokenizer tokenizer("12,-1,x,65541", ",");
    for (ssize_t index : {ssize_t(-1), ssize_t(4), ssize_t(5)}) {
        StdString text("previous");
        int32 signedValue = 1;
        uint32 unsignedValue = 1;
        int16 signedShort = 1;
        uint16 shortValue = 1;
        double real = 1.0;
        tokenizer.GetAt(index, text);
        tokenizer.GetAt(index, signedValue);
        tokenizer.GetAt(index, unsignedValue);
        tokenizer.GetAt(index, signedShort);
        tokenizer.GetAt(index, shortValue);
        tokenizer.GetAt(index, real);
        EXPECT_EQ("", text) << index;
        EXPECT_EQ(0, signedValue) << index;
        EXPECT_EQ(0u, unsignedValue) << index;
        EXPECT_EQ(0, signedShort) << index;
        EXPECT_EQ(0, shortValue) << index;
        EXPECT_EQ(0.0, real) << index;
        EXPECT_EQ("", tokenizer[index]) << index;
    }
    EXPECT_EQ(4, tokenizer.GetSize());
}

TEST(StrTokenizerGetAt, ReadsFloatingPointNumbers)
{
    StrTokenizer tokenizer("2.5e3;-0.25;abc", ";");
    double value = 0.0;
    tokenizer.GetAt(0, value);
    EXPECT_DOUBLE_EQ(2500.0, value);
    tokenizer.GetAt(1, value);
    EXPECT_DOUBLE_EQ(-0.25, value);
    tokenizer.GetAt(2, value);
    EXPECT_DOUBLE_EQ(0.0, value);
    EXPECT_EQ("abc", tokenizer[2]) << "reading leaves the token alone";
}

} // namespace
