#ifndef VIEWTESTSUPPORT_H
#define VIEWTESTSUPPORT_H

// Helpers shared by the display's tests: pictures of the window, the debug
// channel, and output fed through the stand-in tool.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QtGlobal>

namespace viewtest
{

// Saves a picture of the widget, under the build tree, as the screen would
// show it once the pending layout work is done.
inline bool saveScreenshot(QWidget& widget, const QString& name)
{
    QCoreApplication::processEvents();
    const QString folder = QStringLiteral(SCREENSHOT_DIR);
    QDir().mkpath(folder);
    return widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Collects what goes out on the debug channel while it lives; other
// messages go on to the handler that was in place.
class DebugCapture
{
public:
    DebugCapture()
    {
        messages().clear();
        previous() = qInstallMessageHandler(&DebugCapture::handle);
    }
    ~DebugCapture() { qInstallMessageHandler(previous()); }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    static QStringList& messages()
    {
        static QStringList captured;
        return captured;
    }

private:
    static QtMessageHandler& previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtDebugMsg)
            messages().append(text);
        else if (previous())
            previous()(type, context, text);
    }
};

// The stand-in tool copies its standard input to its standard output as it
// comes, so one write that it passes on arrives as one read: one tick.
inline bool feedTool(QProcess& tool, const QByteArray& chunk)
{
    tool.write(chunk);
    return tool.waitForBytesWritten(10000) && tool.waitForReadyRead(10000);
}

// These tests write the card's manifest and start the unit's flash tool:
// they may do so only in the sandboxed unit, never on a real one.
inline bool insideSandboxedUnit()
{
    return QFile::exists(QStringLiteral("/run/unit-sandbox/config"));
}

inline bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
}

} // namespace viewtest

#endif // VIEWTESTSUPPORT_H
