#include "StrTokenizer.h"

#include <cstdlib>

namespace {

StdString UpToFirstNul(const StdString& text)
{
    return StdString(text.c_str());
}

// Reads like atoi, with a defined result for numbers outside the int range.
long DecimalValue(const StdString& text)
{
    return strtol(text.c_str(), nullptr, 10);
}

} // namespace

StrTokenizer::StrTokenizer() = default;

StrTokenizer::StrTokenizer(StdString strInput, const StdString& strDelimiter)
{
    InitializeTokenizer(strInput, strDelimiter);
}

StrTokenizer::~StrTokenizer()
{
    m_stra.clear();
    m_Delimiter.Empty();
}

void StrTokenizer::InitializeTokenizer(StdString strInput, StdString strDelimiter)
{
    // Both texts count only up to their first NUL, like every copy of a StdString.
    const StdString input = UpToFirstNul(strInput);
    const StdString delimiter = UpToFirstNul(strDelimiter);
    if (input.IsEmpty()) {
        return;
    }
    if (delimiter.IsEmpty()) {
        m_stra.push_back(input);
        return;
    }
    m_Delimiter = delimiter;
    m_stra.clear();
    int32 start = 0;
    for (int32 at = input.Find(delimiter.c_str(), start); at >= 0; at = input.Find(delimiter.c_str(), start)) {
        m_stra.push_back(input.Mid(start, at - start));
        start = at + static_cast<int32>(delimiter.GetLength());
    }
    m_stra.push_back(input.Mid(start));
}

ssize_t StrTokenizer::GetSize() const
{
    return static_cast<ssize_t>(m_stra.size());
}

bool StrTokenizer::IsEmpty() const
{
    return m_stra.empty();
}

// An index outside the list reads as the empty token, which every
// conversion below turns into 0.
void StrTokenizer::GetAt(ssize_t nIndex, StdString& str) const
{
    str = Token(nIndex);
}

void StrTokenizer::GetAt(ssize_t nIndex, int32& var) const
{
    var = static_cast<int32>(DecimalValue(Token(nIndex)));
}

void StrTokenizer::GetAt(ssize_t nIndex, uint32& var) const
{
    var = static_cast<uint32>(DecimalValue(Token(nIndex)));
}

void StrTokenizer::GetAt(ssize_t nIndex, int16& var) const
{
    var = static_cast<int16>(DecimalValue(Token(nIndex)));
}

void StrTokenizer::GetAt(ssize_t nIndex, uint16& var) const
{
    var = static_cast<uint16>(DecimalValue(Token(nIndex)));
}

void StrTokenizer::GetAt(ssize_t nIndex, double& var) const
{
    const StdString token = Token(nIndex);
    var = static_cast<double>(token);
}

StdString StrTokenizer::operator[](ssize_t nIndex)
{
    return Token(nIndex);
}

StdString StrTokenizer::Left(ssize_t nIndex)
{
    return nIndex < 0 || nIndex >= GetSize() ? StdString() : Join(0, nIndex);
}

StdString StrTokenizer::Right(ssize_t nIndex)
{
    return nIndex < 0 || nIndex >= GetSize() ? StdString() : Join(nIndex, GetSize() - 1);
}

StdString StrTokenizer::Mid(ssize_t nIndex, ssize_t endIndex)
{
    if (endIndex >= GetSize()) {
        return Right(nIndex);
    }
    if (nIndex < 0) {
        return Left(endIndex);
    }
    return nIndex > endIndex ? StdString() : Join(nIndex, endIndex);
}

StdString StrTokenizer::Token(ssize_t nIndex) const
{
    return nIndex < 0 || nIndex >= GetSize() ? StdString() : m_stra[static_cast<size_t>(nIndex)];
}

// Callers pass 0 <= first <= last < GetSize().
StdString StrTokenizer::Join(ssize_t first, ssize_t last) const
{
    StdString joined(m_stra[static_cast<size_t>(first)]);
    for (ssize_t index = first + 1; index <= last; ++index) {
        joined += m_Delimiter;
        joined += m_stra[static_cast<size_t>(index)];
    }
    return joined;
}
