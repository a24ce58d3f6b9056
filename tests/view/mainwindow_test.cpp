// The progress window's ticks. Runs inside the sandboxed unit, where the
// manifest on the card is what the test makes it and the flash tool is a
// stand-in that passes on what the test feeds it. Each test function runs in
// a program of its own: the tick counter lasts as long as the program.

#include "ViewTestSupport.h"
#include "mainwindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QVector>
#include <QtTest>

#include <initializer_list>

#include <memory>

namespace
{

const QString manifest = QStringLiteral("/mnt/sd-card/lumoManifest");
const QString failureTitle = QStringLiteral("Installation Failed");
const QString failureText = QStringLiteral(
    "You have removed the SD Card or there has been a hardware failure.  Unplug the unit and "
    "plug it back in to try again.");
const QString designedTitle = QStringLiteral("Software Installation");

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(viewtest::insideSandboxedUnit(),
                 "run this program in the sandboxed unit (tests/view/run-in-unit)");
    }

    void init()
    {
        QVERIFY(viewtest::writeFile(manifest, "Version,1.0\n"));
        window.reset(new MainWindow);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->processObject->waitForStarted(10000));
    }

    void cleanup()
    {
        if (window)
            window->processObject->closeWriteChannel();
        window.reset();
        QFile::remove(manifest);
    }

    void theToolIsStartedWithItsFlashOption()
    {
        QProcess* tool = window->processObject;
        QCOMPARE(tool->program(), QStringLiteral("/usr/share/lumo/bin/cardflash"));
        QCOMPARE(tool->arguments(), QStringList{QStringLiteral("-f")});
        QCOMPARE(tool->state(), QProcess::Running);
        QCOMPARE(tool->openMode(), QIODevice::ReadWrite);
        QCOMPARE(tool->readChannel(), QProcess::StandardOutput);
        QCOMPARE(tool->parent(), window.get());
    }

    void theWindowIsFramelessAndHidesThePointer()
    {
        QCOMPARE(int(window->windowFlags()), int(Qt::Window | Qt::FramelessWindowHint));
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    }

    void theWindowStartsOnTheInstallationPageWithAnEmptyBar()
    {
        QCOMPARE(stack()->currentIndex(), 0);
        QCOMPARE(percentage()->text(), QStringLiteral("0%"));
        QCOMPARE(bar()->value(), 0);
        QCOMPARE(title()->text(), designedTitle);
        QVERIFY(viewtest::saveScreenshot(*window, QStringLiteral("page0-start")));
    }

    void theFirstTickShowsZeroPercentAndAnEmptyBar()
    {
        viewtest::DebugCapture debug;
        QVERIFY(viewtest::feedTool(*window->processObject, "Unlock the file system...\n"));
        QCOMPARE(percentage()->text(), QStringLiteral("0%"));
        QCOMPARE(bar()->value(), 0);
        QCOMPARE(bar()->minimum(), 0);
        QCOMPARE(bar()->maximum(), 14500);
        QCOMPARE(debug.messages(), QStringList{QStringLiteral("1")});
        QCOMPARE(stack()->currentIndex(), 0);
        QVERIFY(bar()->isVisibleTo(window.get()));
    }

    void severalLinesInOneReadAreOneTick()
    {
        viewtest::DebugCapture debug;
        QVERIFY(viewtest::feedTool(*window->processObject,
                                   "Erasing /dev/mtd4\n0\nWriting zImage to /dev/mtd4\n"));
        QVERIFY(viewtest::feedTool(*window->processObject, "0\n"));
        QCOMPARE(debug.messages(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(bar()->value(), 1);
    }

    void the146thTickShowsOnePercent()
    {
        viewtest::DebugCapture debug;
        tickDirectly(145);
        QCOMPARE(percentage()->text(), QStringLiteral("0%"));
        QVERIFY(viewtest::feedTool(*window->processObject, "Writing rootfs.squashfs\n"));
        QCOMPARE(percentage()->text(), QStringLiteral("1%"));
        QCOMPARE(bar()->value(), 145);
        QCOMPARE(debug.messages().last(), QStringLiteral("146"));
    }

    void halfTheTicksShowFiftyPercent()
    {
        viewtest::DebugCapture debug;
        tickDirectly(7251);
        QCOMPARE(percentage()->text(), QStringLiteral("50%"));
        QCOMPARE(bar()->value(), 7250);
        QCOMPARE(stack()->currentIndex(), 0);
        QVERIFY(viewtest::saveScreenshot(*window, QStringLiteral("page0-midway")));
    }

    void pastTheFullScaleTheBarStaysFullAndTheLabelCountsOn()
    {
        viewtest::DebugCapture debug;
        tickDirectly(14500);
        QCOMPARE(percentage()->text(), QStringLiteral("99%"));
        QCOMPARE(bar()->value(), 14499);
        tickDirectly(1);
        QCOMPARE(percentage()->text(), QStringLiteral("100%"));
        QCOMPARE(bar()->value(), bar()->maximum());
        tickDirectly(14645 - 14501);
        QCOMPARE(percentage()->text(), QStringLiteral("100%"));
        QVERIFY(viewtest::feedTool(*window->processObject, "Lock the file system\n"));
        QCOMPARE(percentage()->text(), QStringLiteral("101%"));
        QCOMPARE(bar()->maximum(), 14646);
        QCOMPARE(bar()->value(), 14646);
        QCOMPARE(debug.messages().size(), 14646);
        QCOMPARE(stack()->currentIndex(), 0);
    }

    void theMarkerOnTheFirstTickCompletesWithAFullBar()
    {
        viewtest::DebugCapture debug;
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH COMPLETE\n"));
        QCOMPARE(stack()->currentIndex(), 1);
        QCOMPARE(bar()->maximum(), 1);
        QCOMPARE(bar()->value(), 1);
        QCOMPARE(completionText()->text(),
                 QStringLiteral("Installation Complete....Unplug and Reboot"));
        QVERIFY(viewtest::saveScreenshot(*window, QStringLiteral("page1-complete")));

        // The counter starts again from nothing.
        QVERIFY(viewtest::feedTool(*window->processObject, "more\n"));
        QCOMPARE(debug.messages(), (QStringList{QStringLiteral("1"), QStringLiteral("1")}));
        QCOMPARE(percentage()->text(), QStringLiteral("0%"));
        QCOMPARE(stack()->currentIndex(), 1);
    }

    void theMarkerAmongOtherLinesCompletes()
    {
        QVERIFY(viewtest::feedTool(*window->processObject,
                                   "Lock the file system\n0\nFLASH COMPLETE\n"));
        QCOMPARE(stack()->currentIndex(), 1);
    }

    void aMarkerSplitOverTwoReadsIsNotRecognised()
    {
        QVERIFY(viewtest::feedTool(*window->processObject, "Lock the file system\nFLASH COMP"));
        QVERIFY(viewtest::feedTool(*window->processObject, "LETE\n"));
        QCOMPARE(stack()->currentIndex(), 0);
        QCOMPARE(title()->text(), designedTitle);
    }

    void aMarkerInLowerCaseIsNotRecognised()
    {
        QVERIFY(viewtest::feedTool(*window->processObject, "flash complete\n"));
        QCOMPARE(stack()->currentIndex(), 0);
    }

    void aMarkerBehindANulByteIsNotRecognised()
    {
        QVERIFY(
            viewtest::feedTool(*window->processObject, QByteArray("done\0FLASH COMPLETE\n", 20)));
        QCOMPARE(stack()->currentIndex(), 0);
        QCOMPARE(title()->text(), designedTitle);
    }

    void aMissingManifestAtAMarkerTickShowsTheFailure()
    {
        QVERIFY(QFile::remove(manifest));
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH COMPLETE\n"));
        QCOMPARE(stack()->currentIndex(), 0);
        verifyFailureShown();
    }

    void aMissingManifestAtAnyTickShowsTheFailureAndTheCountGoesOn()
    {
        QVERIFY(QFile::remove(manifest));
        QVERIFY(viewtest::feedTool(*window->processObject, "Erasing /dev/mtd5\n"));
        verifyFailureShown();
        QVERIFY(viewtest::feedTool(*window->processObject, "0\n"));
        QCOMPARE(bar()->value(), 1);
    }

    void flashFailedShowsTheFailure()
    {
        QVERIFY(
            viewtest::feedTool(*window->processObject, "IMAGE REJECTED: zImage\nFLASH FAILED\n"));
        QCOMPARE(stack()->currentIndex(), 0);
        verifyFailureShown();
        QVERIFY(viewtest::saveScreenshot(*window, QStringLiteral("page0-failed")));
    }

    void theFailureTextsKeepTheFullWidthOfThePage()
    {
        QWidget* column = window->findChild<QWidget*>(QStringLiteral("verticalLayoutWidget"));
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH FAILED\n"));
        QCoreApplication::processEvents();
        QCOMPARE(column->geometry(), QRect(0, 0, 471, 261));
        QVERIFY(findLabel("TextLabel")->width() == 471);
    }

    void aMarkerAfterFlashFailedNeverCompletes()
    {
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH FAILED\n"));
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH COMPLETE\n"));
        QCOMPARE(stack()->currentIndex(), 0);
        verifyFailureShown();
    }

    void aMarkerAfterTheManifestCameBackNeverCompletes()
    {
        QVERIFY(QFile::remove(manifest));
        QVERIFY(viewtest::feedTool(*window->processObject, "Writing zImage\n"));
        QVERIFY(viewtest::writeFile(manifest, "Version,1.0\n"));
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH COMPLETE\n"));
        QCOMPARE(stack()->currentIndex(), 0);
        verifyFailureShown();
    }

    void aFailureAfterCompletionChangesOnlyTheHiddenPage()
    {
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH COMPLETE\n"));
        QVERIFY(QFile::remove(manifest));
        QVERIFY(viewtest::feedTool(*window->processObject, "anything\n"));
        QCOMPARE(stack()->currentIndex(), 1);
        verifyFailureShown();
    }

    void noTextIsCutOffOrOverlapsOnTheInstallationPage()
    {
        QCoreApplication::processEvents();
        verifyTextsFit({"TitleLabel", "TextLabel", "labelPercentage"});
    }

    void noTextIsCutOffOrOverlapsOnTheFailurePage()
    {
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH FAILED\n"));
        QCoreApplication::processEvents();
        verifyTextsFit({"TitleLabel", "TextLabel", "labelPercentage"});
    }

    void noTextIsCutOffOnTheCompletionPage()
    {
        QVERIFY(viewtest::feedTool(*window->processObject, "FLASH COMPLETE\n"));
        QCoreApplication::processEvents();
        verifyTextsFit({"label_3"});
    }

private:
    // Each label's text, laid out as the label draws it, lies inside the
    // label, the label inside the window, and no two texts share a pixel.
    void verifyTextsFit(std::initializer_list<const char*> names)
    {
        QVector<QRect> drawn;
        for (const char* name : names) {
            QLabel* label = findLabel(name);
            QVERIFY(label->isVisible());
            const QRect area = label->contentsRect();
            const int flags =
                int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
            const QRect needed = label->fontMetrics().boundingRect(area, flags, label->text());
            QVERIFY2(area.contains(needed), name);
            const QRect inWindow(label->mapTo(window.get(), needed.topLeft()), needed.size());
            QVERIFY2(window->rect().contains(inWindow), name);
            for (const QRect& other : drawn)
                QVERIFY2(!other.intersects(inWindow), name);
            drawn.append(inWindow);
        }
    }

    // The slot is public: calling it stands for arrivals of empty output.
    void tickDirectly(int ticks)
    {
        for (int tick = 0; tick < ticks; ++tick)
            window->processStandardOutput();
    }

    void verifyFailureShown()
    {
        QVERIFY(bar()->isHidden());
        QCOMPARE(title()->text(), failureTitle);
        QCOMPARE(findLabel("TextLabel")->text(), failureText);
    }

    QLabel* findLabel(const char* name) const
    {
        return window->findChild<QLabel*>(QLatin1String(name));
    }
    QLabel* title() const { return findLabel("TitleLabel"); }
    QLabel* percentage() const { return findLabel("labelPercentage"); }
    QLabel* completionText() const { return findLabel("label_3"); }
    QProgressBar* bar() const
    {
        return window->findChild<QProgressBar*>(QStringLiteral("progressBarPercentage"));
    }
    QStackedWidget* stack() const
    {
        return window->findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    }

    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
