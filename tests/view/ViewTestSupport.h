#ifndef VIEWTESTSUPPORT_H
#define VIEWTESTSUPPORT_H

// Helpers shared by the display's tests: the window's texts and widgets,
// pictures of it, the debug channel, and output fed through the stand-in tool.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QStackedWidget>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QtGlobal>
#include <QtTest>

namespace viewtest
{

const QString designedTitle = QStringLiteral("Software Installation");
const QString completionText = QStringLiteral("Installation Complete....Unplug and Reboot");
const QString failureTitle = QStringLiteral("Installation Failed");
const QString failureText = QStringLiteral(
    "You have removed the SD Card or there has been a hardware failure.  Unplug the unit and "
    "plug it back in to try again.");

inline QLabel* label(const QWidget* window, const char* name)
{
    return window->findChild<QLabel*>(QLatin1String(name));
}
inline QProgressBar* bar(const QWidget* window)
{
    return window->findChild<QProgressBar*>(QStringLiteral("progressBarPercentage"));
}
inline QStackedWidget* stack(const QWidget* window)
{
    return window->findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
}

// The failure texts in place of the warning, and no bar.
inline void verifyFailureShown(const QWidget* window)
{
    QVERIFY(bar(window)->isHidden());
    QCOMPARE(label(window, "TitleLabel")->text(), failureTitle);
    QCOMPARE(label(window, "TextLabel")->text(), failureText);
}

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
inline void verifyInsideSandboxedUnit()
{
    QVERIFY2(QFile::exists(QStringLiteral("/run/unit-sandbox/config")),
             "run this program in the sandboxed unit (tests/view/run-in-unit)");
}

inline bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
}

} // namespace viewtest

#endif // VIEWTESTSUPPORT_H
