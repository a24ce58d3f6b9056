#ifndef TOOLOUTPUT_H
#define TOOLOUTPUT_H

#include <QString>
#include <QStringList>

// The tool's standard output taken as lines, whatever pieces it arrives in:
// its first line, which is the reason when a package is refused, and which
// of the lines watched for it printed. Only whole lines count: text from
// the card never makes up a whole line of the tool's, and a line that
// arrives in two pieces counts once it is whole.
class ToolOutput
{
public:
    explicit ToolOutput(const QStringList& watchedLines);

    void add(const QString& text);
    const QString& firstLine() const;
    bool seen(const QString& watchedLine) const;

private:
    void endLine();

    QStringList m_watchedLines;
    QStringList m_seenLines;
    QString m_line;
    QString m_firstLine;
    bool m_firstLineEnded;
};

#endif
