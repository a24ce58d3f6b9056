// Test rig of the emulated unit, never installed: builds the product's
// progress window, which starts the real tool as it does on the unit, and
// reports the page the window ends on. The window is read only through its
// form's object tree (object names and texts), as a person reads the screen.
//
//   viewprobe [-timeout SECONDS] [-grab FILE.png]   (plus Qt's own options)
//
// Prints "page 1: TEXT" and exits 0 when the completion page shows,
// "failed: TITLE / TEXT" and exits 1 on the failure texts, "timeout" and
// exits 2 when neither comes in time.

#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QStringList>
#include <QTimer>

#include <cstdio>

namespace
{

const char failureTitle[] = "Installation Failed";
const int pollMilliseconds = 100;
const int toolEndMilliseconds = 30000;

struct Options {
    int timeoutSeconds = 600;
    QString grabFile;
};

Options parseOptions(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QStringLiteral("-timeout"))
            options.timeoutSeconds = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == QStringLiteral("-grab"))
            options.grabFile = arguments.at(i + 1);
    }
    return options;
}

QString labelText(const MainWindow& window, const char* name)
{
    const QLabel* label = window.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("(no label %1)").arg(QString::fromLatin1(name));
}

void printLine(const QString& line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void printProgress(const MainWindow& window)
{
    const QProgressBar* bar =
        window.findChild<QProgressBar*>(QStringLiteral("progressBarPercentage"));
    if (bar)
        printLine(QStringLiteral("bar %1 of %2, label %3")
                      .arg(bar->value())
                      .arg(bar->maximum())
                      .arg(labelText(window, "labelPercentage")));
}

// 0: completion page, 1: failure texts, -1: still installing.
int outcome(const MainWindow& window)
{
    const QStackedWidget* pages =
        window.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    if (pages && pages->currentIndex() == 1)
        return 0;
    if (labelText(window, "TitleLabel") == QString::fromLatin1(failureTitle))
        return 1;
    return -1;
}

void report(const MainWindow& window, int result)
{
    printProgress(window);
    if (result == 0)
        printLine(QStringLiteral("page 1: ") + labelText(window, "label_3"));
    else if (result == 1)
        printLine(QStringLiteral("failed: ") + labelText(window, "TitleLabel") +
                  QStringLiteral(" / ") + labelText(window, "TextLabel"));
    else
        printLine(QStringLiteral("timeout"));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const Options options = parseOptions(QApplication::arguments());

    MainWindow window;
    window.setVisible(true);

    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        const int result = outcome(window);
        if (result < 0 && clock.elapsed() < options.timeoutSeconds * 1000LL)
            return;
        poll.stop();
        // The window does not wait for the tool; the probe does, so that the
        // flash is over before the unit powers off.
        window.processObject->waitForFinished(toolEndMilliseconds);
        if (!options.grabFile.isEmpty())
            window.grab().save(options.grabFile);
        report(window, result);
        QApplication::exit(result < 0 ? 2 : result);
    });
    poll.start(pollMilliseconds);
    return QApplication::exec();
}
