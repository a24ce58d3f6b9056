#ifndef TOOLOUTPUT_H
#define TOOLOUTPUT_H

#include <string>
#include <vector>

// The tool's standard output taken as lines, whatever pieces it arrives in:
// its first line, which is the reason when a package is refused, and which
// of the lines watched for it printed. Only whole lines count: text from
// the card never makes up a whole line of the tool's, and a line that
// arrives in two pieces counts once it is whole. A carriage return ends a
// line too: the flash utilities redraw their progress with it.
class ToolOutput
{
public:
    explicit ToolOutput(std::vector<std::string> watchedLines);

    // The lines that the text completes, empty ones left out.
    std::vector<std::string> add(const std::string& text);
    const std::string& firstLine() const;
    bool seen(const std::string& watchedLine) const;

private:
    void endLine();

    std::vector<std::string> m_watchedLines;
    std::vector<std::string> m_seenLines;
    std::vector<std::string> m_completed;
    std::string m_line;
    std::string m_firstLine;
    bool m_firstLineEnded;
};

#endif
