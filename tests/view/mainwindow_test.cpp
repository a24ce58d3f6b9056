// The progress window's ticks. Runs inside the sandboxed unit, where the
// manifest on the card is what the test makes it and the flash tool is a
// stand-in that passes on what the test feeds it. Each test function runs in
// a program of its own: the tick counter lasts as long as the program.

#include "ViewTestSupport.h"
#include "mainwindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QVector>
#include <QtTest>

#include <memory>

using namespace viewtest;

namespace
{

const QString manifest = QStringLiteral("/mnt/sd-card/lumoManifest");

// Stands for the card's manifest going away in a list of chunks to feed.
const QByteArray removeManifest = QByteArrayLiteral("<remove the manifest>");
const QByteArray restoreManifest = QByteArrayLiteral("<restore the manifest>");

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { verifyInsideSandboxedUnit(); }

    void init()
    {
        QVERIFY(writeFile(manifest, "Version,1.0\n"));
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
        QCOMPARE(stack(window.get())->currentIndex(), 0);
        QCOMPARE(percentage(), QStringLiteral("0%"));
        QCOMPARE(bar(window.get())->value(), 0);
        QCOMPARE(label(window.get(), "TitleLabel")->text(), designedTitle);
        QVERIFY(saveScreenshot(*window, QStringLiteral("page0-start")));
    }

    void theFirstTickShowsZeroPercentAndAnEmptyBar()
    {
        DebugCapture debug;
        QVERIFY(feed("Unlock the file system...\n"));
        QCOMPARE(percentage(), QStringLiteral("0%"));
        QProgressBar* progress = bar(window.get());
        QCOMPARE(progress->value(), 0);
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 14500);
        QCOMPARE(debug.messages(), QStringList{QStringLiteral("1")});
        QCOMPARE(stack(window.get())->currentIndex(), 0);
        QVERIFY(progress->isVisibleTo(window.get()));
    }

    void severalLinesInOneReadAreOneTick()
    {
        DebugCapture debug;
        QVERIFY(feed("Erasing /dev/mtd4\n0\nWriting zImage to /dev/mtd4\n"));
        QVERIFY(feed("0\n"));
        QCOMPARE(debug.messages(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(bar(window.get())->value(), 1);
    }

    void the146thTickShowsOnePercent()
    {
        DebugCapture debug;
        tickDirectly(145);
        QCOMPARE(percentage(), QStringLiteral("0%"));
        QVERIFY(feed("Writing rootfs.squashfs\n"));
        QCOMPARE(percentage(), QStringLiteral("1%"));
        QCOMPARE(bar(window.get())->value(), 145);
        QCOMPARE(debug.messages().last(), QStringLiteral("146"));
    }

    void halfTheTicksShowFiftyPercent()
    {
        DebugCapture debug;
        tickDirectly(7251);
        QCOMPARE(percentage(), QStringLiteral("50%"));
        QCOMPARE(bar(window.get())->value(), 7250);
        QCOMPARE(stack(window.get())->currentIndex(), 0);
        QVERIFY(saveScreenshot(*window, QStringLiteral("page0-midway")));
    }

    void pastTheFullScaleTheBarStaysFullAndTheLabelCountsOn()
    {
        DebugCapture debug;
        QProgressBar* progress = bar(window.get());
        tickDirectly(14500);
        QCOMPARE(percentage(), QStringLiteral("99%"));
        QCOMPARE(progress->value(), 14499);
        tickDirectly(1);
        QCOMPARE(percentage(), QStringLiteral("100%"));
        QCOMPARE(progress->value(), progress->maximum());
        tickDirectly(14645 - 14501);
        QCOMPARE(percentage(), QStringLiteral("100%"));
        QVERIFY(feed("Lock the file system\n"));
        QCOMPARE(percentage(), QStringLiteral("101%"));
        QCOMPARE(progress->maximum(), 14646);
        QCOMPARE(progress->value(), 14646);
        QCOMPARE(debug.messages().size(), 14646);
        QCOMPARE(stack(window.get())->currentIndex(), 0);
    }

    void theMarkerOnTheFirstTickCompletesWithAFullBar()
    {
        DebugCapture debug;
        QVERIFY(feed("FLASH COMPLETE\n"));
        QCOMPARE(stack(window.get())->currentIndex(), 1);
        QCOMPARE(bar(window.get())->maximum(), 1);
        QCOMPARE(bar(window.get())->value(), 1);
        QCOMPARE(label(window.get(), "label_3")->text(), completionText);
        QVERIFY(saveScreenshot(*window, QStringLiteral("page1-complete")));

        // The counter starts again from nothing.
        QVERIFY(feed("more\n"));
        QCOMPARE(debug.messages(), (QStringList{QStringLiteral("1"), QStringLiteral("1")}));
        QCOMPARE(percentage(), QStringLiteral("0%"));
        QCOMPARE(stack(window.get())->currentIndex(), 1);
    }

    void theMarkerAmongOtherLinesCompletes()
    {
        QVERIFY(feed("Lock the file system\n0\nFLASH COMPLETE\n"));
        QCOMPARE(stack(window.get())->currentIndex(), 1);
    }

    void aMarkerNotWholeInOneReadIsNotRecognised_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::newRow("split over two reads")
            << QByteArrayList{"Lock the file system\nFLASH COMP", "LETE\n"};
        QTest::newRow("in lower case") << QByteArrayList{"flash complete\n"};
        QTest::newRow("behind a NUL byte")
            << QByteArrayList{QByteArray("done\0FLASH COMPLETE\n", 20)};
    }
    void aMarkerNotWholeInOneReadIsNotRecognised()
    {
        QFETCH(QByteArrayList, reads);
        for (const QByteArray& read : reads)
            QVERIFY(feed(read));
        QCOMPARE(stack(window.get())->currentIndex(), 0);
        QCOMPARE(label(window.get(), "TitleLabel")->text(), designedTitle);
    }

    void aMissingManifestAtAnyTickShowsTheFailureAndTheCountGoesOn()
    {
        QVERIFY(QFile::remove(manifest));
        QVERIFY(feed("Erasing /dev/mtd5\n"));
        verifyFailureShown(window.get());
        QVERIFY(feed("0\n"));
        QCOMPARE(bar(window.get())->value(), 1);
    }

    // The failure texts take the installation page, shown or not, and once
    // failed, the installation never completes.
    void theFailureIsShown_data()
    {
        QTest::addColumn<QByteArrayList>("steps");
        QTest::addColumn<int>("page");
        QTest::newRow("FLASH FAILED")
            << QByteArrayList{"IMAGE REJECTED: zImage\nFLASH FAILED\n"} << 0;
        QTest::newRow("a missing manifest at a marker tick")
            << QByteArrayList{removeManifest, "FLASH COMPLETE\n"} << 0;
        QTest::newRow("a marker after FLASH FAILED")
            << QByteArrayList{"FLASH FAILED\n", "FLASH COMPLETE\n"} << 0;
        QTest::newRow("a marker after the manifest came back")
            << QByteArrayList{removeManifest, "Writing zImage\n", restoreManifest,
                              "FLASH COMPLETE\n"}
            << 0;
        QTest::newRow("a failure after completion")
            << QByteArrayList{"FLASH COMPLETE\n", removeManifest, "anything\n"} << 1;
    }
    void theFailureIsShown()
    {
        QFETCH(QByteArrayList, steps);
        QFETCH(int, page);
        for (const QByteArray& step : steps) {
            if (step == removeManifest)
                QVERIFY(QFile::remove(manifest));
            else if (step == restoreManifest)
                QVERIFY(writeFile(manifest, "Version,1.0\n"));
            else
                QVERIFY(feed(step));
        }
        QCOMPARE(stack(window.get())->currentIndex(), page);
        verifyFailureShown(window.get());
        if (QTest::currentDataTag() == QByteArray("FLASH FAILED"))
            QVERIFY(saveScreenshot(*window, QStringLiteral("page0-failed")));
    }

    // Each label's text, laid out as the label draws it, lies inside the
    // label, the label inside the window, and no two texts share a pixel.
    // The failure texts keep the full width of the page.
    void noTextIsCutOffOrOverlaps_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("labels");
        const QStringList installationPage = {QStringLiteral("TitleLabel"),
                                              QStringLiteral("TextLabel"),
                                              QStringLiteral("labelPercentage")};
        QTest::newRow("installation page") << QByteArray() << installationPage;
        QTest::newRow("failure page") << QByteArray("FLASH FAILED\n") << installationPage;
        QTest::newRow("completion page")
            << QByteArray("FLASH COMPLETE\n") << QStringList{QStringLiteral("label_3")};
    }
    void noTextIsCutOffOrOverlaps()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, labels);
        if (!output.isEmpty())
            QVERIFY(feed(output));
        QCoreApplication::processEvents();
        QCOMPARE(window->findChild<QWidget*>(QStringLiteral("verticalLayoutWidget"))->geometry(),
                 QRect(0, 0, 471, 261));
        QCOMPARE(label(window.get(), "TextLabel")->width(), 471);
        QVector<QRect> drawn;
        for (const QString& name : labels) {
            QLabel* text = label(window.get(), qPrintable(name));
            QVERIFY(text->isVisible());
            const QRect area = text->contentsRect();
            const int flags =
                int(text->alignment()) | (text->wordWrap() ? int(Qt::TextWordWrap) : 0);
            const QRect needed = text->fontMetrics().boundingRect(area, flags, text->text());
            QVERIFY2(area.contains(needed), qPrintable(name));
            const QRect inWindow(text->mapTo(window.get(), needed.topLeft()), needed.size());
            QVERIFY2(window->rect().contains(inWindow), qPrintable(name));
            for (const QRect& other : drawn)
                QVERIFY2(!other.intersects(inWindow), qPrintable(name));
            drawn.append(inWindow);
        }
    }

private:
    bool feed(const QByteArray& chunk) { return feedTool(*window->processObject, chunk); }

    // The slot is public: calling it stands for arrivals of empty output.
    void tickDirectly(int ticks)
    {
        for (int tick = 0; tick < ticks; ++tick)
            window->processStandardOutput();
    }

    QString percentage() const { return label(window.get(), "labelPercentage")->text(); }

    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
