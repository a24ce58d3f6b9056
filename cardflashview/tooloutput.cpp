#include "tooloutput.h"

namespace
{

const QChar lineEnd('\n');
// No line of the tool's is longer; an endless one is not kept whole.
const int longestLine = 512;

} // namespace

ToolOutput::ToolOutput(const QString& watchedLine)
    : m_watchedLine(watchedLine), m_firstLineEnded(false), m_watchedLineSeen(false)
{
}

void ToolOutput::add(const QString& text)
{
    for (const QChar c : text) {
        if (c == lineEnd)
            endLine();
        else if (m_line.size() < longestLine)
            m_line += c;
    }
}

void ToolOutput::endLine()
{
    if (!m_firstLineEnded)
        m_firstLine = m_line;
    m_firstLineEnded = true;
    m_watchedLineSeen = m_watchedLineSeen || m_line == m_watchedLine;
    m_line.clear();
}

const QString& ToolOutput::firstLine() const
{
    return m_firstLine;
}

bool ToolOutput::watchedLineSeen() const
{
    return m_watchedLineSeen;
}
