#ifndef TOOLOUTPUT_H
#define TOOLOUTPUT_H

#include <QString>
#include <QStringList>

// The tool's standard output taken as lines, whatever pieces it arrives in:
// its first line, which is the reason when a package is refused, and which
// of the lines watched for it printed. Only whole lines count: text from
// the card never makes up a whole line of the tool's, and a line that
// arrives in two pieces counts once it is whole. A carriage return ends a
// line too: the flash utilities redraw their progress with it.
class ToolOutput
{
public:
    explicit ToolOutput(const QStringList& watchedLines);

    // The lines that the text completes, empty ones left out.
    QStringList add(const QString& text);
    const QString& firstLine() const;
    bool seen(const QString& watchedLine) const;

private:
    void endLine();

    QStringList m_watchedLines;
    QStringList m_seenLines;
    QStringList m_completed;
    QString m_line;
    QString m_firstLine;
    bool m_firstLineEnded;
};

#endif
