// Random sequences of StdString and StrTokenizer operations, each checked
// against a plain std::string / std::vector model of the same rules: copies
// of text end at the first NUL, positions outside the string are clamped,
// turned into appends or ignored, searches that find nothing give -1.
#include "FuzzSupport.h"
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "StdString.h"
#include "StrTokenizer.h"

namespace
{

const std::size_t kLongestModel = 1 << 16;
const char* const kWhiteSpace = " \t\r\n";
std::string g_scratchFile;

// --- the model --------------------------------------------------------------

std::string cut(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

int32 position(std::string::size_type at)
{
    return at == std::string::npos ? -1 : static_cast<int32>(at);
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

std::string lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string upper(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool inSet(char c, const std::string& set)
{
    return c != '\0' && set.find(c) != std::string::npos;
}

std::string trimLeft(std::string text, const std::string& set)
{
    std::size_t first = 0;
    while (first < text.size() && inSet(text[first], set)) {
        ++first;
    }
    return text.substr(first);
}

std::string trimRight(std::string text, const std::string& set)
{
    std::size_t end = text.size();
    while (end > 0 && inSet(text[end - 1], set)) {
        --end;
    }
    return text.substr(0, end);
}

std::string trimLeftChar(std::string text, char c)
{
    std::size_t first = 0;
    while (first < text.size() && text[first] == c) {
        ++first;
    }
    return text.substr(first);
}

std::string trimRightChar(std::string text, char c)
{
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] == c) {
        --end;
    }
    return text.substr(0, end);
}

std::string join(const std::vector<std::string>& tokens, std::size_t first, std::size_t last,
                 const std::string& delimiter)
{
    std::string joined;
    for (std::size_t i = first; i <= last; ++i) {
        joined += (i == first ? "" : delimiter) + tokens[i];
    }
    return joined;
}

// --- reporting ----------------------------------------------------------------

[[noreturn]] void reportMismatch(const char* operation, const std::string& what,
                                 const std::string& actual, const std::string& expected)
{
    std::fprintf(stderr, "strings_fuzzer: %s: %s differs\n  got:      %s\n  expected: %s\n",
                 operation, what.c_str(), shown(actual, 200).c_str(), shown(expected, 200).c_str());
    std::abort();
}

void expectText(const char* operation, const std::string& what, const std::string& actual,
                const std::string& expected)
{
    if (actual != expected) {
        reportMismatch(operation, what, actual, expected);
    }
}

template <typename Number>
void expectNumber(const char* operation, const std::string& what, Number actual, Number expected)
{
    if (actual != expected) {
        reportMismatch(operation, what, std::to_string(actual), std::to_string(expected));
    }
}

// --- the harness --------------------------------------------------------------

class Harness
{
public:
    explicit Harness(FuzzedDataProvider& input) : m_in(input) {}

    void run()
    {
        for (int step = 0; step < 200 && m_in.remaining_bytes() > 0; ++step) {
            if (m_model.size() > kLongestModel) {
                m_string.Empty();
                m_model.clear();
            }
            if (m_in.ConsumeIntegralInRange<int>(0, 3) == 0) {
                tokenizerStep();
            } else {
                stringStep();
            }
        }
    }

private:
    std::string text() { return m_in.ConsumeRandomLengthString(48); }
    char8 character() { return m_in.ConsumeIntegral<char8>(); }

    // Mostly around the string, sometimes anything at all.
    int32 index()
    {
        if (m_in.ConsumeIntegralInRange<int>(0, 7) == 0) {
            return m_in.ConsumeIntegral<int32>();
        }
        return m_in.ConsumeIntegralInRange<int32>(-3, static_cast<int32>(m_model.size()) + 3);
    }

    // A StdString holding a NUL now and then (only char8 members put one there).
    StdString stringWithNul(std::string& modelText)
    {
        const std::string head = text();
        StdString built(head.c_str());
        modelText = cut(head);
        if (m_in.ConsumeBool()) {
            const std::string tail = text();
            built += '\0';
            built += tail.c_str();
            modelText += '\0' + cut(tail);
        }
        return built;
    }

    void expectModel(const char* operation) { expectText(operation, "content", m_string, m_model); }

    void stringStep()
    {
        const int operation = m_in.ConsumeIntegralInRange<int>(0, 31);
        switch (operation) {
        case 0:
            assign();
            break;
        case 1:
            append();
            break;
        case 2:
            concatenate();
            break;
        case 3:
            copy();
            break;
        case 4:
            length();
            break;
        case 5:
            findText();
            break;
        case 6:
            findCharacter();
            break;
        case 7:
            reverseFind();
            break;
        case 8:
            left();
            break;
        case 9:
            right();
            break;
        case 10:
            mid();
            break;
        case 11:
            caseFolding();
            break;
        case 12:
            reverse();
            break;
        case 13:
            trimCharacter();
            break;
        case 14:
            trimSet();
            break;
        case 15:
            trimWhiteSpace();
            break;
        case 16:
            removeCharacter();
            break;
        case 17:
            replaceCharacter();
            break;
        case 18:
            replaceText();
            break;
        case 19:
            insert();
            break;
        case 20:
            erase();
            break;
        case 21:
            compare();
            break;
        case 22:
            buffer();
            break;
        case 23:
            format();
            break;
        case 24:
            toInteger();
            break;
        case 25:
            toDouble();
            break;
        case 26:
            toBool();
            break;
        case 27:
            fromNumber();
            break;
        case 28:
            files();
            break;
        case 29:
            selfReference();
            break;
        case 30:
            construct();
            break;
        default:
            m_string.Empty();
            m_model.clear();
            expectModel("Empty");
            break;
        }
    }

    void assign()
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            const std::string t = text();
            m_string = t.c_str();
            m_model = cut(t);
            break;
        }
        case 1: {
            std::string t = text();
            m_string = &t[0];
            m_model = cut(t);
            break;
        }
        case 2:
            m_string = static_cast<const char8*>(nullptr);
            m_model.clear();
            break;
        default: {
            const char8 c = character();
            m_string = c;
            m_model = std::string(1, c);
            break;
        }
        }
        expectModel("operator=");
    }

    void append()
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            std::string modelText;
            const StdString other = stringWithNul(modelText);
            m_string += other;
            m_model += cut(modelText);
            break;
        }
        case 1: {
            const std::string t = text();
            m_string += t.c_str();
            m_model += cut(t);
            break;
        }
        case 2:
            m_string += static_cast<const char8*>(nullptr);
            break;
        default: {
            const char8 c = character();
            m_string += c;
            m_model += c;
            break;
        }
        }
        expectModel("operator+=");
    }

    void concatenate()
    {
        StdString result;
        std::string expected = cut(m_model);
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            std::string modelText;
            const StdString other = stringWithNul(modelText);
            result = m_string + other;
            expected += cut(modelText);
            break;
        }
        case 1: {
            const std::string t = text();
            result = m_string + t.c_str();
            expected += cut(t);
            break;
        }
        case 2:
            result = m_string + static_cast<const char8*>(nullptr);
            break;
        default: {
            const char8 c = character();
            // Compared in place: a copy of the result would end at a NUL.
            expectText("operator+(char8)", "result", m_string + c, expected + c);
            expectModel("operator+(char8)");
            return;
        }
        }
        expectText("operator+", "result", result, cut(expected));
        expectModel("operator+");
    }

    void copy()
    {
        const StdString constructed(m_string);
        expectText("copy constructor", "copy", constructed, cut(m_model));
        StdString assigned("x");
        assigned = m_string;
        expectText("operator=(const StdString&)", "copy", assigned, cut(m_model));
        expectModel("copy");
    }

    void construct()
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            const std::string t = text();
            expectText("StdString(const char8*)", "result", StdString(t.c_str()), cut(t));
            break;
        }
        case 1: {
            std::string t = text();
            expectText("StdString(char8*)", "result", StdString(&t[0]), cut(t));
            break;
        }
        case 2:
            expectText("StdString(nullptr)", "result",
                       StdString(static_cast<const char8*>(nullptr)), "");
            break;
        default: {
            const char8 c = character();
            const StdString one(c);
            expectText("StdString(char8)", "result", one, std::string(1, c));
            break;
        }
        }
    }

    void length()
    {
        expectNumber<ssize_t>("GetLength", "length", m_string.GetLength(),
                              static_cast<ssize_t>(m_model.size()));
        expectNumber<int>("IsEmpty", "result", m_string.IsEmpty(), m_model.empty());
    }

    void findText()
    {
        const std::string t = text();
        switch (m_in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            std::string modelText;
            const StdString other = stringWithNul(modelText);
            expectNumber("Find(const StdString&)", "position", m_string.Find(other),
                         position(m_model.find(cut(modelText))));
            break;
        }
        case 1:
            expectNumber("Find(const char8*)", "position", m_string.Find(t.c_str()),
                         position(m_model.find(cut(t))));
            break;
        default: {
            const int32 start = index();
            const int32 expected =
                start < 0 ? -1 : position(m_model.find(cut(t), static_cast<std::size_t>(start)));
            expectNumber("Find(const char8*, int32)", "position", m_string.Find(t.c_str(), start),
                         expected);
            break;
        }
        }
    }

    void findCharacter()
    {
        const char8 c = character();
        if (m_in.ConsumeBool()) {
            expectNumber("Find(char8)", "position", m_string.Find(c), position(m_model.find(c)));
            return;
        }
        const int32 start = index();
        const int32 expected =
            start < 0 ? -1 : position(m_model.find(c, static_cast<std::size_t>(start)));
        expectNumber("Find(char8, int32)", "position", m_string.Find(c, start), expected);
    }

    void reverseFind()
    {
        if (m_in.ConsumeBool()) {
            const char8 c = character();
            expectNumber("ReverseFind(char8)", "position", m_string.ReverseFind(c),
                         position(m_model.rfind(c)));
            return;
        }
        const std::size_t at =
            m_in.ConsumeBool() ? m_in.ConsumeIntegral<std::size_t>()
                               : m_in.ConsumeIntegralInRange<std::size_t>(0, m_model.size() + 3);
        if (m_in.ConsumeBool()) {
            expectNumber("ReverseFind(nullptr, pos)", "position", m_string.ReverseFind(nullptr, at),
                         position(std::min(at, m_model.size())));
            return;
        }
        const std::string t = text();
        expectNumber("ReverseFind(const char8*, pos)", "position",
                     m_string.ReverseFind(t.c_str(), at), position(m_model.rfind(cut(t), at)));
    }

    void left()
    {
        const int32 count = index();
        const std::string expected =
            count < 0 ? "" : cut(m_model.substr(0, static_cast<std::size_t>(count)));
        expectText("Left", "result", m_string.Left(count), expected);
        expectModel("Left");
    }

    void right()
    {
        const int32 count = index();
        std::string expected;
        if (count >= 0) {
            const std::size_t taken = std::min(m_model.size(), static_cast<std::size_t>(count));
            expected = cut(m_model.substr(m_model.size() - taken));
        }
        expectText("Right", "result", m_string.Right(count), expected);
        expectModel("Right");
    }

    void mid()
    {
        const int32 first = index();
        const std::size_t from = static_cast<std::size_t>(std::max(first, 0));
        if (m_in.ConsumeBool()) {
            const std::string expected = from > m_model.size() ? "" : cut(m_model.substr(from));
            expectText("Mid(first)", "result", m_string.Mid(first), expected);
        } else {
            const int32 count = index();
            const std::string expected =
                from > m_model.size()
                    ? ""
                    : cut(m_model.substr(from, static_cast<std::size_t>(std::max(count, 0))));
            expectText("Mid(first, count)", "result", m_string.Mid(first, count), expected);
        }
        expectModel("Mid");
    }

    void caseFolding()
    {
        if (m_in.ConsumeBool()) {
            m_string.ToUpper();
            m_model = upper(m_model);
        } else {
            m_string.ToLower();
            m_model = lower(m_model);
        }
        expectModel("ToUpper/ToLower");
    }

    void reverse()
    {
        m_string.MakeReverse();
        std::reverse(m_model.begin(), m_model.end());
        expectModel("MakeReverse");
    }

    void trimCharacter()
    {
        const char8 c = character();
        if (m_in.ConsumeBool()) {
            m_string.TrimLeft(c);
            m_model = trimLeftChar(m_model, c);
        } else {
            m_string.TrimRight(c);
            m_model = trimRightChar(m_model, c);
        }
        expectModel("TrimLeft/TrimRight(char8)");
    }

    void trimSet()
    {
        const std::string set = text();
        if (m_in.ConsumeBool()) {
            m_string.TrimLeft(set.c_str());
            m_model = trimLeft(m_model, cut(set));
        } else {
            m_string.TrimRight(set.c_str());
            m_model = trimRight(m_model, cut(set));
        }
        expectModel("TrimLeft/TrimRight(const char8*)");
    }

    void trimWhiteSpace()
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            m_string.TrimLeft();
            m_model = trimLeft(m_model, kWhiteSpace);
            break;
        case 1:
            m_string.TrimRight();
            m_model = trimRight(m_model, kWhiteSpace);
            break;
        case 2:
            m_string.Trim();
            m_model = trimRight(trimLeft(m_model, kWhiteSpace), kWhiteSpace);
            break;
        default:
            m_string.Normalize();
            m_model = lower(trimRight(trimLeft(m_model, kWhiteSpace), kWhiteSpace));
            break;
        }
        expectModel("Trim/Normalize");
    }

    void removeCharacter()
    {
        const char8 c = character();
        m_string.Remove(c);
        if (m_model.find(c) != std::string::npos) {
            m_model.erase(std::remove(m_model.begin(), m_model.end(), c), m_model.end());
            m_model = cut(m_model);
        }
        expectModel("Remove");
    }

    void replaceCharacter()
    {
        const char8 from = character();
        const char8 to = character();
        const int32 count = static_cast<int32>(std::count(m_model.begin(), m_model.end(), from));
        std::replace(m_model.begin(), m_model.end(), from, to);
        expectNumber("Replace(char8, char8)", "count", m_string.Replace(from, to), count);
        expectModel("Replace(char8, char8)");
    }

    void replaceText()
    {
        const std::string oldText = text();
        const bool nullReplacement = m_in.ConsumeIntegralInRange<int>(0, 5) == 0;
        const std::string newText = nullReplacement ? "" : text();
        const std::string oldCut = cut(oldText);
        const std::string newCut = cut(newText);
        int32 count = 0;
        if (!oldCut.empty()) {
            for (std::size_t at = m_model.find(oldCut); at != std::string::npos;
                 at = m_model.find(oldCut, at + newCut.size())) {
                m_model.replace(at, oldCut.size(), newCut);
                ++count;
            }
        }
        const int32 replaced =
            m_string.Replace(oldText.c_str(), nullReplacement ? nullptr : newText.c_str());
        expectNumber("Replace(const char8*, const char8*)", "count", replaced, count);
        expectModel("Replace(const char8*, const char8*)");
    }

    void insert()
    {
        const ssize_t at = index();
        const bool appends = at < 0 || at >= static_cast<ssize_t>(m_model.size());
        ssize_t length = 0;
        if (m_in.ConsumeBool()) {
            const char8 c = character();
            length = m_string.Insert(at, c);
            m_model.insert(appends ? m_model.size() : static_cast<std::size_t>(at), 1, c);
        } else {
            const bool null = m_in.ConsumeIntegralInRange<int>(0, 5) == 0;
            const std::string t = null ? "" : text();
            length = m_string.Insert(at, null ? nullptr : t.c_str());
            m_model.insert(appends ? m_model.size() : static_cast<std::size_t>(at), cut(t));
        }
        expectNumber("Insert", "length", length, static_cast<ssize_t>(m_model.size()));
        expectModel("Insert");
    }

    void erase()
    {
        const ssize_t at = index();
        const int32 count = index();
        const std::size_t from = static_cast<std::size_t>(std::max<ssize_t>(at, 0));
        if (from < m_model.size()) {
            m_model.erase(from, count < 0 ? std::string::npos : static_cast<std::size_t>(count));
        }
        expectNumber("Delete", "length", m_string.Delete(at, count),
                     static_cast<ssize_t>(m_model.size()));
        expectModel("Delete");
    }

    void compare()
    {
        const std::string t = m_in.ConsumeBool() ? text() : m_model.substr(0, index() & 0xff);
        if (m_in.ConsumeBool()) {
            expectNumber("Compare", "sign", sign(m_string.Compare(t.c_str())),
                         sign(m_model.compare(cut(t))));
        } else if (m_in.ConsumeIntegralInRange<int>(0, 5) == 0) {
            expectNumber("CompareNoCase(nullptr)", "sign", sign(m_string.CompareNoCase(nullptr)),
                         sign(lower(cut(m_model)).compare("")));
        } else {
            expectNumber("CompareNoCase", "sign", sign(m_string.CompareNoCase(t.c_str())),
                         sign(lower(cut(m_model)).compare(lower(cut(t)))));
        }
        expectModel("Compare");
    }

    void buffer()
    {
        const int32 minLength =
            m_in.ConsumeIntegralInRange<int32>(-4, static_cast<int32>(m_model.size()) + 64);
        char8* characters = m_string.GetBuffer(minLength);
        if (static_cast<int32>(m_model.size()) < minLength) {
            m_model.resize(static_cast<std::size_t>(minLength), '\0');
        }
        expectModel("GetBuffer");
        const int writes = m_model.empty() ? 0 : m_in.ConsumeIntegralInRange<int>(0, 8);
        for (int i = 0; i < writes; ++i) {
            const std::size_t at = m_in.ConsumeIntegralInRange<std::size_t>(0, m_model.size() - 1);
            const char8 c = character();
            characters[at] = c;
            m_model[at] = c;
        }
        const int32 newLength =
            m_in.ConsumeIntegralInRange<int32>(-2, static_cast<int32>(m_model.size()) + 64);
        m_string.ReleaseBuffer(newLength);
        if (newLength < 0) {
            m_model = cut(m_model);
        } else {
            m_model.resize(static_cast<std::size_t>(newLength), '\0');
        }
        expectModel("ReleaseBuffer");
    }

    void format()
    {
        const std::size_t before = m_model.size();
        std::string expected;
        const char* styleFormat = "%s";
        switch (m_in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0: {
            const std::string t = text();
            m_string.Format("%s", t.c_str());
            expected = cut(t);
            break;
        }
        case 1: {
            const int number = m_in.ConsumeIntegral<int>();
            const std::string t = text();
            styleFormat = "%d:%s";
            m_string.Format("%d:%s", number, t.c_str());
            expected = std::to_string(number) + ":" + cut(t);
            break;
        }
        case 2: {
            const char8 c = character();
            styleFormat = "%c";
            m_string.Format("%c", c);
            expected = cut(std::string(1, c));
            break;
        }
        case 3: {
            // Longer than the room Format reserves for itself.
            const std::string t(m_in.ConsumeIntegralInRange<std::size_t>(0, 3000), 'f');
            m_string.Format("%s", t.c_str());
            expected = t;
            break;
        }
        default:
            // Its own text as the argument.
            expected = cut(m_model);
            m_string.Format("%s", m_string.c_str());
            break;
        }
        const std::size_t room =
            std::max(std::strlen(styleFormat) + StdString::STD_BUF_SIZE, before);
        const std::string actual = m_string;
        if (expected.size() <= room) {
            expectText("Format", "result", actual, expected);
        } else if (expected.compare(0, actual.size(), actual) != 0) {
            // Too long for the buffer: cut, grown or emptied are all fine.
            reportMismatch("Format", "result (a prefix of the full text)", actual, expected);
        }
        m_model = actual;
    }

    void toInteger()
    {
        m_model = lower(trimRight(trimLeft(m_model, kWhiteSpace), kWhiteSpace));
        int32 expected = 0;
        if (m_model.find('x') != std::string::npos) {
            unsigned int value = 0;
            expected =
                std::sscanf(m_model.c_str(), "%x", &value) == 1 ? static_cast<int32>(value) : 0;
        } else {
            expected = std::atoi(m_model.c_str());
        }
        expectNumber("operator int32", "value", m_string.operator int32(), expected);
        expectModel("operator int32");
    }

    void toDouble()
    {
        const double actual = m_string.operator double();
        const double expected = std::strtod(m_model.c_str(), nullptr);
        if (!(actual == expected || (std::isnan(actual) && std::isnan(expected)))) {
            reportMismatch("operator double", "value", std::to_string(actual),
                           std::to_string(expected));
        }
        expectModel("operator double");
    }

    void toBool()
    {
        m_model = lower(trimRight(trimLeft(m_model, kWhiteSpace), kWhiteSpace));
        const bool expected =
            m_model == "true" || m_model == "yes" || m_model == "on" || m_model == "1";
        expectNumber<int>("operator bool", "value", m_string.operator bool(), expected);
        expectModel("operator bool");
    }

    void fromNumber()
    {
        if (m_in.ConsumeBool()) {
            const int32 value = m_in.ConsumeIntegral<int32>();
            std::ostringstream stream;
            stream << value;
            m_string.IntToString(value);
            m_model = stream.str();
        } else {
            const double value = m_in.ConsumeFloatingPoint<double>();
            char text[32];
            std::snprintf(text, sizeof text, "%g", value);
            m_string.DoubleToString(value);
            m_model = text;
        }
        expectModel("IntToString/DoubleToString");
    }

    void files()
    {
        StdString name(g_scratchFile.c_str());
        StdString none;
        if (m_in.ConsumeIntegralInRange<int>(0, 3) == 0) {
            expectNumber<std::size_t>("WriteToFile(\"\")", "result", m_string.WriteToFile(none), 0);
            expectNumber<std::size_t>("ReadFromFile(\"\")", "result", m_string.ReadFromFile(none),
                                      0);
            m_model.clear();
            expectModel("ReadFromFile(\"\")");
            return;
        }
        expectNumber("WriteToFile", "bytes", m_string.WriteToFile(name), m_model.size());
        m_string.Empty();
        expectNumber("ReadFromFile", "bytes", m_string.ReadFromFile(name), m_model.size());
        expectModel("ReadFromFile");
    }

    void selfReference()
    {
        if (m_in.ConsumeBool()) {
            const StdString& same = m_string;
            m_string = same;
            m_model = cut(m_model);
        } else {
            m_string += m_string;
            m_model += cut(m_model);
        }
        expectModel("self assignment/append");
    }

    // --- StrTokenizer ---

    ssize_t tokenIndex()
    {
        if (m_in.ConsumeIntegralInRange<int>(0, 7) == 0) {
            return m_in.ConsumeIntegral<ssize_t>();
        }
        return m_in.ConsumeIntegralInRange<ssize_t>(-3, static_cast<ssize_t>(m_tokens.size()) + 3);
    }

    void split(const std::string& inputText, const std::string& delimiterText)
    {
        const std::string input = cut(inputText);
        const std::string delimiter = cut(delimiterText);
        if (input.empty()) {
            return;
        }
        if (delimiter.empty()) {
            m_tokens.push_back(input);
            return;
        }
        m_delimiter = delimiter;
        m_tokens.clear();
        std::string rest = input;
        for (std::size_t at = rest.find(delimiter); at != std::string::npos;
             at = rest.find(delimiter)) {
            m_tokens.push_back(rest.substr(0, at));
            rest = rest.substr(at + delimiter.size());
        }
        m_tokens.push_back(rest);
    }

    std::string token(ssize_t at) const
    {
        return at < 0 || at >= static_cast<ssize_t>(m_tokens.size())
                   ? ""
                   : m_tokens[static_cast<std::size_t>(at)];
    }

    std::string leftTokens(ssize_t at) const
    {
        return at < 0 || at >= static_cast<ssize_t>(m_tokens.size())
                   ? ""
                   : join(m_tokens, 0, static_cast<std::size_t>(at), m_delimiter);
    }

    std::string rightTokens(ssize_t at) const
    {
        return at < 0 || at >= static_cast<ssize_t>(m_tokens.size())
                   ? ""
                   : join(m_tokens, static_cast<std::size_t>(at), m_tokens.size() - 1, m_delimiter);
    }

    std::string midTokens(ssize_t first, ssize_t last) const
    {
        if (last >= static_cast<ssize_t>(m_tokens.size())) {
            return rightTokens(first);
        }
        if (first < 0) {
            return leftTokens(last);
        }
        return first > last ? ""
                            : join(m_tokens, static_cast<std::size_t>(first),
                                   static_cast<std::size_t>(last), m_delimiter);
    }

    // Input and delimiter are made mostly of a few letters and commas, so
    // that delimiters actually occur.
    std::string tokenizerText()
    {
        std::string t;
        const std::size_t length = m_in.ConsumeIntegralInRange<std::size_t>(0, 24);
        for (std::size_t i = 0; i < length; ++i) {
            const char8 c = m_in.ConsumeIntegral<char8>();
            t += (c & 0x80) != 0 ? c : "ab,, -"[static_cast<unsigned char>(c) % 6];
        }
        return t;
    }

    void tokenizerStep()
    {
        const char* const operation = "StrTokenizer";
        switch (m_in.ConsumeIntegralInRange<int>(0, 12)) {
        case 0:
        case 1: {
            std::string inputText = tokenizerText();
            const std::string delimiterText =
                m_in.ConsumeIntegralInRange<int>(0, 7) == 0 ? "" : tokenizerText().substr(0, 3);
            StdString input(inputText.c_str());
            if (m_in.ConsumeIntegralInRange<int>(0, 7) == 0) {
                // A NUL inside the input: the split sees only the text before it.
                input += '\0';
                input += "tail,after,nul";
                inputText = cut(inputText) + '\0';
            }
            if (m_in.ConsumeBool()) {
                m_tokenizer.InitializeTokenizer(input, StdString(delimiterText.c_str()));
            } else {
                m_tokenizer = StrTokenizer(input, StdString(delimiterText.c_str()));
                m_tokens.clear();
                m_delimiter.clear();
            }
            split(inputText, delimiterText);
            break;
        }
        case 2: {
            const ssize_t at = tokenIndex();
            StdString out("stale");
            m_tokenizer.GetAt(at, out);
            expectText(operation, "GetAt(StdString&)", out, token(at));
            break;
        }
        case 3: {
            const ssize_t at = tokenIndex();
            int32 value = 7;
            m_tokenizer.GetAt(at, value);
            expectNumber(operation, "GetAt(int32&)", value,
                         static_cast<int32>(std::atoi(token(at).c_str())));
            break;
        }
        case 4: {
            const ssize_t at = tokenIndex();
            uint32 value = 7;
            m_tokenizer.GetAt(at, value);
            expectNumber(operation, "GetAt(uint32&)", value,
                         static_cast<uint32>(std::atoi(token(at).c_str())));
            break;
        }
        case 5: {
            const ssize_t at = tokenIndex();
            int16 value = 7;
            m_tokenizer.GetAt(at, value);
            expectNumber(operation, "GetAt(int16&)", value,
                         static_cast<int16>(std::atoi(token(at).c_str())));
            break;
        }
        case 6: {
            const ssize_t at = tokenIndex();
            uint16 value = 7;
            m_tokenizer.GetAt(at, value);
            expectNumber(operation, "GetAt(uint16&)", value,
                         static_cast<uint16>(std::atoi(token(at).c_str())));
            break;
        }
        case 7: {
            const ssize_t at = tokenIndex();
            double value = 7.0;
            m_tokenizer.GetAt(at, value);
            const double expected = std::strtod(token(at).c_str(), nullptr);
            if (!(value == expected || (std::isnan(value) && std::isnan(expected)))) {
                reportMismatch(operation, "GetAt(double&)", std::to_string(value),
                               std::to_string(expected));
            }
            break;
        }
        case 8: {
            const ssize_t at = tokenIndex();
            expectText(operation, "operator[]", m_tokenizer[at], token(at));
            break;
        }
        case 9: {
            const ssize_t at = tokenIndex();
            expectText(operation, "Left", m_tokenizer.Left(at), leftTokens(at));
            break;
        }
        case 10: {
            const ssize_t at = tokenIndex();
            expectText(operation, "Right", m_tokenizer.Right(at), rightTokens(at));
            break;
        }
        case 11: {
            const ssize_t first = tokenIndex();
            const ssize_t last = tokenIndex();
            expectText(operation, "Mid", m_tokenizer.Mid(first, last), midTokens(first, last));
            break;
        }
        default:
            break;
        }
        expectNumber(operation, "GetSize", m_tokenizer.GetSize(),
                     static_cast<ssize_t>(m_tokens.size()));
        expectNumber<int>(operation, "IsEmpty", m_tokenizer.IsEmpty(), m_tokens.empty());
    }

    FuzzedDataProvider& m_in;
    StdString m_string;
    std::string m_model;
    StrTokenizer m_tokenizer;
    std::vector<std::string> m_tokens;
    std::string m_delimiter;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/strings_fuzzer.XXXXXX";
    const int fd = mkstemp(&pattern[0]);
    if (fd < 0) {
        std::perror("strings_fuzzer: mkstemp");
        std::abort();
    }
    close(fd);
    g_scratchFile = pattern;
    std::atexit([] { unlink(g_scratchFile.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    Harness harness(input);
    harness.run();
    return 0;
}
