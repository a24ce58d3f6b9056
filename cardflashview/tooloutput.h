#ifndef TOOLOUTPUT_H
#define TOOLOUTPUT_H

#include <QString>

// The tool's standard output taken as lines, whatever pieces it arrives in:
// its first line, which is the reason when a package is refused, and
// whether one of its lines was exactly the line watched for. Only whole
// lines count: text from the card never makes up a whole line of the tool's.
class ToolOutput
{
public:
    explicit ToolOutput(const QString& watchedLine);

    void add(const QString& text);
    const QString& firstLine() const;
    bool watchedLineSeen() const;

private:
    void endLine();

    QString m_watchedLine;
    QString m_line;
    QString m_firstLine;
    bool m_firstLineEnded;
    bool m_watchedLineSeen;
};

#endif
