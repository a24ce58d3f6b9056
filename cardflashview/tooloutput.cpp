#include "tooloutput.h"

namespace
{

const QChar lineEnd('\n');
const QChar carriageReturn('\r');
// No line of the tool's is longer; an endless one is not kept whole.
const int longestLine = 512;

} // namespace

ToolOutput::ToolOutput(const QStringList& watchedLines)
    : m_watchedLines(watchedLines), m_firstLineEnded(false)
{
}

QStringList ToolOutput::add(const QString& text)
{
    m_completed.clear();
    for (const QChar c : text) {
        if (c == lineEnd || c == carriageReturn)
            endLine();
        else if (m_line.size() < longestLine)
            m_line += c;
    }
    return m_completed;
}

void ToolOutput::endLine()
{
    if (m_line.isEmpty())
        return;
    if (!m_firstLineEnded)
        m_firstLine = m_line;
    m_firstLineEnded = true;
    if (m_watchedLines.contains(m_line) && !m_seenLines.contains(m_line))
        m_seenLines.append(m_line);
    m_completed.append(m_line);
    m_line.clear();
}

const QString& ToolOutput::firstLine() const
{
    return m_firstLine;
}

bool ToolOutput::seen(const QString& watchedLine) const
{
    return m_seenLines.contains(watchedLine);
}
