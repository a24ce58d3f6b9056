#include "StdString.h"
#include "StrTokenizer.h"

#include <climits>
#include <vector>

#include "table.h"

using S = StdString;

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
