#include "tooloutput.h"

#include <algorithm>
#include <utility>

namespace
{

const char lineEnd = '\n';
const char carriageReturn = '\r';
// No line of the tool's is longer; an endless one is not kept whole.
const size_t longestLine = 512;

bool holds(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

ToolOutput::ToolOutput(std::vector<std::string> watchedLines)
    : m_watchedLines(std::move(watchedLines)), m_firstLineEnded(false)
{
}

std::vector<std::string> ToolOutput::add(const std::string& text)
{
    m_completed.clear();
    for (const char c : text) {
        if (c == lineEnd || c == carriageReturn)
            endLine();
        else if (m_line.size() < longestLine)
            m_line += c;
    }
    return m_completed;
}

void ToolOutput::endLine()
{
    if (m_line.empty())
        return;
    if (!m_firstLineEnded)
        m_firstLine = m_line;
    m_firstLineEnded = true;
    if (holds(m_watchedLines, m_line) && !holds(m_seenLines, m_line))
        m_seenLines.push_back(m_line);
    m_completed.push_back(m_line);
    m_line.clear();
}

const std::string& ToolOutput::firstLine() const
{
    return m_firstLine;
}

bool ToolOutput::seen(const std::string& watchedLine) const
{
    return holds(m_seenLines, watchedLine);
}
