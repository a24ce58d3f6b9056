#include "StdString.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char8* const kWhiteSpace = " \t\r\n";

int32 ToPosition(std::string::size_type position)
{
    return position == std::string::npos ? -1 : static_cast<int32>(position);
}

const char8* OrEmpty(const char8* text)
{
    return text == nullptr ? "" : text;
}

// A cut-out is a copy like any other, so it ends before the first NUL.
StdString Cut(const std::string& text, std::string::size_type first, std::string::size_type count)
{
    return StdString(text.substr(first, count).c_str());
}

} // namespace

StdString::StdString() = default;

// Not the base's copy: the copy ends before the first NUL.
StdString::StdString(const StdString& orig) : std::string() // NOLINT(bugprone-copy-constructor-init)
{
    Assign(*this, orig.c_str());
}

StdString::StdString(const char8* pOrig)
{
    Assign(*this, pOrig);
}

StdString::StdString(char8* pOrig)
{
    Assign(*this, pOrig);
}

StdString::StdString(char8 c) : std::string(1, c) {}

StdString::~StdString()
{
    Empty();
}

StdString& StdString::operator=(const StdString& str)
{
    if (this == &str) {
        ReleaseBuffer(-1);
    } else {
        Assign(*this, str.c_str());
    }
    return *this;
}

StdString& StdString::operator=(const char8* pOrig)
{
    Assign(*this, pOrig);
    return *this;
}

StdString& StdString::operator=(char8* pOrig)
{
    Assign(*this, pOrig);
    return *this;
}

StdString& StdString::operator=(char8 c)
{
    Empty();
    push_back(c);
    return *this;
}

StdString& StdString::operator+=(const StdString& str)
{
    Append(*this, str.c_str());
    return *this;
}

StdString& StdString::operator+=(const char8* pOrig)
{
    Append(*this, pOrig);
    return *this;
}

StdString& StdString::operator+=(char8 c)
{
    push_back(c);
    return *this;
}

// The result is returned by name: a copy through the copy constructor would
// end at a NUL that operator+=(char8) has just added.
StdString StdString::operator+(const StdString& str) const
{
    StdString result(*this);
    result += str;
    return result;
}

StdString StdString::operator+(const char8* pOrig) const
{
    StdString result(*this);
    result += pOrig;
    return result;
}

StdString StdString::operator+(char8 c) const
{
    StdString result(*this);
    result += c;
    return result;
}

ssize_t StdString::GetLength() const
{
    return static_cast<ssize_t>(size());
}

bool StdString::IsEmpty() const
{
    return empty();
}

void StdString::Empty()
{
    clear();
}

int32 StdString::Find(const StdString& str) const
{
    return ToPosition(find(str.c_str()));
}

int32 StdString::Find(char8 inputChar) const
{
    return ToPosition(find(inputChar));
}

int32 StdString::Find(const char8* subString) const
{
    return ToPosition(find(OrEmpty(subString)));
}

int32 StdString::Find(char8 inputChar, int32 start) const
{
    return start < 0 ? -1 : ToPosition(find(inputChar, static_cast<size_type>(start)));
}

int32 StdString::Find(const char8* subString, int32 start) const
{
    return start < 0 ? -1 : ToPosition(find(OrEmpty(subString), static_cast<size_type>(start)));
}

int32 StdString::ReverseFind(char8 inputChar) const
{
    return ToPosition(rfind(inputChar));
}

int32 StdString::ReverseFind(const char8* subString, size_type pos) const
{
    return ToPosition(rfind(OrEmpty(subString), pos));
}

StdString StdString::Left(int32 count) const
{
    return count < 0 ? StdString() : Cut(*this, 0, static_cast<size_type>(count));
}

StdString StdString::Right(int32 count) const
{
    if (count < 0) {
        return StdString();
    }
    const size_type taken = std::min(size(), static_cast<size_type>(count));
    return Cut(*this, size() - taken, taken);
}

StdString StdString::Mid(int32 first, int32 count) const
{
    const size_type from = static_cast<size_type>(std::max(first, 0));
    if (from > size()) {
        return StdString();
    }
    return Cut(*this, from, static_cast<size_type>(std::max(count, 0)));
}

StdString StdString::Mid(int32 first) const
{
    if (first < 0) {
        first = 0;
    }
    return Mid(first, static_cast<int32>(GetLength() - first));
}

StdString& StdString::ToUpper()
{
    for (char8& c : *this) {
        c = static_cast<char8>(toupper(static_cast<unsigned char>(c)));
    }
    return *this;
}

StdString& StdString::ToLower()
{
    for (char8& c : *this) {
        c = static_cast<char8>(tolower(static_cast<unsigned char>(c)));
    }
    return *this;
}

StdString& StdString::MakeReverse()
{
    std::reverse(begin(), end());
    return *this;
}

StdString& StdString::TrimLeft(char8 removeChar)
{
    erase(0, find_first_not_of(removeChar));
    return *this;
}

StdString& StdString::TrimLeft(const char8* trimStr)
{
    erase(0, find_first_not_of(OrEmpty(trimStr)));
    return *this;
}

StdString& StdString::TrimLeft()
{
    return TrimLeft(kWhiteSpace);
}

StdString& StdString::TrimRight(char8 trimChar)
{
    const size_type last = find_last_not_of(trimChar);
    erase(last == npos ? 0 : last + 1);
    return *this;
}

StdString& StdString::TrimRight(const char8* trimStr)
{
    const size_type last = find_last_not_of(OrEmpty(trimStr));
    erase(last == npos ? 0 : last + 1);
    return *this;
}

StdString& StdString::TrimRight()
{
    return TrimRight(kWhiteSpace);
}

StdString& StdString::Trim()
{
    TrimLeft(kWhiteSpace);
    return TrimRight(kWhiteSpace);
}

StdString& StdString::Normalize()
{
    Trim();
    return ToLower();
}

StdString& StdString::Remove(char8 inputChar)
{
    if (find(inputChar) == npos) {
        return *this;
    }
    erase(std::remove(begin(), end(), inputChar), end());
    // The remaining text is taken over like a copy: up to its first NUL.
    ReleaseBuffer(-1);
    return *this;
}

int32 StdString::Replace(char8 oldCh, char8 newCh)
{
    int32 count = 0;
    for (char8& c : *this) {
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    }
    return count;
}

int32 StdString::Replace(const char8* oldStr, const char8* newStr)
{
    if (oldStr == nullptr || *oldStr == '\0') {
        return 0;
    }
    const std::string replacement(OrEmpty(newStr));
    const size_type oldLength = strlen(oldStr);
    int32 count = 0;
    for (size_type at = find(oldStr); at != npos; at = find(oldStr, at + replacement.size())) {
        replace(at, oldLength, replacement);
        ++count;
    }
    return count;
}

ssize_t StdString::Insert(ssize_t index, char8 inChar)
{
    if (index < 0 || index >= GetLength()) {
        push_back(inChar);
    } else {
        insert(static_cast<size_type>(index), 1, inChar);
    }
    return GetLength();
}

ssize_t StdString::Insert(ssize_t index, const char8* sz)
{
    const std::string text(OrEmpty(sz));
    if (index < 0 || index >= GetLength()) {
        append(text);
    } else {
        insert(static_cast<size_type>(index), text);
    }
    return GetLength();
}

ssize_t StdString::Delete(ssize_t index, int32 count)
{
    const size_type from = static_cast<size_type>(std::max<ssize_t>(index, 0));
    if (from < size()) {
        erase(from, count < 0 ? npos : static_cast<size_type>(count));
    }
    return GetLength();
}

int32 StdString::Compare(const char8* compWith) const
{
    return compare(OrEmpty(compWith));
}

int32 StdString::CompareNoCase(const char8* compWith) const
{
    StdString mine(*this);
    StdString theirs(compWith);
    return mine.ToLower().compare(theirs.ToLower());
}

char8* StdString::GetBuffer(int32 minLen)
{
    if (GetLength() < minLen) {
        resize(static_cast<size_type>(minLen), '\0');
    }
    return data();
}

void StdString::ReleaseBuffer(int32 newLen)
{
    resize(newLen < 0 ? strlen(c_str()) : static_cast<size_type>(newLen), '\0');
}

// The text is formatted into a buffer of its own, so that arguments that point
// into this string stay valid; vsnprintf never writes past it, and a text too
// long for the first buffer is formatted again into one that fits. The
// printf-style interface stays: the format attribute checks its callers.
void StdString::Format(const char8* styleFormat, ...) // NOLINT(cert-dcl50-cpp)
{
    if (styleFormat == nullptr) {
        Empty();
        return;
    }
    std::vector<char8> buffer(std::max(strlen(styleFormat) + STD_BUF_SIZE, size()) + 1);
    va_list args;
    va_list retry;
    va_start(args, styleFormat);
    va_copy(retry, args);
    const int needed = vsnprintf(buffer.data(), buffer.size(), styleFormat, args);
    if (needed >= 0 && static_cast<size_t>(needed) >= buffer.size()) {
        buffer.resize(static_cast<size_t>(needed) + 1);
        (void)vsnprintf(buffer.data(), buffer.size(), styleFormat, retry);
    }
    va_end(retry);
    va_end(args);
    Assign(*this, needed < 0 ? "" : buffer.data());
}

void StdString::Assign(StdString& destination, const char8* pSource)
{
    if (pSource == nullptr) {
        destination.Empty();
        return;
    }
    // assign() copes with a source inside the destination's own buffer.
    destination.assign(pSource);
}

void StdString::Assign(StdString& destination, char8* pSource)
{
    Assign(destination, const_cast<const char8*>(pSource));
}

void StdString::Append(StdString& destination, const char8* pSource)
{
    if (pSource != nullptr) {
        destination.append(pSource);
    }
}

void StdString::Append(StdString& destination, char8* pSource)
{
    Append(destination, const_cast<const char8*>(pSource));
}
