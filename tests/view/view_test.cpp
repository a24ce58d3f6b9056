// The progress display: its form, its ticks, and the window driving the real
// flash tool. Everything that makes a MainWindow runs in the sandboxed unit
// (see CMakeLists.txt): there the installed tool and the card's manifest are
// what the test makes them, never a real unit's.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFontInfo>
#include <QtTest>

#include <memory>

namespace
{

const QString toolPath = QStringLiteral("/usr/share/lumo/bin/cardflash");
const QString manifestPath = QStringLiteral("/mnt/sd-card/lumoManifest");
const QString designedTitle = QStringLiteral("Software Installation");
const QString warningText = QStringLiteral(
    "During software installation DO NOT REMOVE the SD card or power down \n the unit.  It is "
    "possible that the unit will be rendered inoperable if you  perform either of those actions "
    "during software installation.");
const QString failureTitle = QStringLiteral("Installation Failed");
const QString failureText = QStringLiteral(
    "You have removed the SD Card or there has been a hardware failure.  Unplug the unit and "
    "plug it back in to try again.");

// A layout's items in order: widgets and layouts by name, spacers by size and policies.
QString describe(const QLayout* layout)
{
    const QMetaEnum policy = QMetaEnum::fromType<QSizePolicy::Policy>();
    QStringList items;
    for (int index = 0; index < layout->count(); ++index) {
        QLayoutItem* item = layout->itemAt(index);
        const QSpacerItem* spacer = item->spacerItem();
        if (spacer == nullptr) {
            items << (item->widget() ? item->widget()->objectName() : item->layout()->objectName());
            continue;
        }
        const QSizePolicy policies = spacer->sizePolicy();
        items << QString::asprintf("%dx%d %s/%s", spacer->sizeHint().width(),
                                   spacer->sizeHint().height(),
                                   policy.valueToKey(policies.horizontalPolicy()),
                                   policy.valueToKey(policies.verticalPolicy()));
    }
    return items.join(QStringLiteral(", "));
}

// The window writes its tick count on the debug channel.
QStringList debugLines;
QtMessageHandler testHandler = nullptr;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class ViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (QTest::currentTestFunction() != QByteArray("form"))
            QVERIFY2(QFile::exists(QStringLiteral("/run/unit-sandbox/config")),
                     "this test installs a flash tool: run it in the sandboxed unit only");
    }
    void cleanup()
    {
        if (window) // the stand-in tool ends with its input
            window->processObject->closeWriteChannel(), window->processObject->waitForFinished();
        window.reset();
        if (testHandler)
            qInstallMessageHandler(testHandler);
    }

    // The form on a plain QMainWindow, which starts no tool.
    void form_data()
    {
        QTest::addColumn<QVariant>("actual");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const QString& name, const QVariant& actual, const QVariant& expected) {
            QTest::newRow(qPrintable(name)) << actual << expected;
        };
        ui.setupUi(&plain);
        const QProgressBar* bar = ui.progressBarPercentage;
        row("window size", plain.size(), QSize(479, 272));
        row("window name and title", QStringList{plain.objectName(), plain.windowTitle()},
            QStringList{QStringLiteral("MainWindow"), QStringLiteral("MainWindow")});
        row("stack geometry", ui.stackedWidget->geometry(), QRect(7, 0, 479, 272));
        row("pages", describe(ui.stackedWidget->layout()),
            "InstallationPage, InstallationCompletePage");
        row("column geometry", ui.verticalLayoutWidget->geometry(), QRect(0, 0, 471, 261));
        row("column parent", ui.verticalLayoutWidget->parent()->objectName(), "InstallationPage");
        row("column", describe(ui.verticalLayout),
            "20x40 Minimum/Expanding, TitleLabel, TextLabel, 20x40 Minimum/Expanding, "
            "labelPercentage, horizontalLayout, 20x40 Minimum/Fixed");
        row("column margins, spacing, size",
            QVariantList{ui.verticalLayout->contentsMargins() == QMargins(),
                         ui.verticalLayout->spacing(), int(ui.verticalLayout->sizeConstraint())},
            QVariantList{true, 6, int(QLayout::SetMinAndMaxSize)});
        row("bar row", describe(ui.horizontalLayout),
            "40x20 Fixed/Minimum, progressBarPercentage, 40x20 Fixed/Minimum");
        row("bar value, range, text, inversion",
            QVariantList{bar->value(), bar->minimum(), bar->maximum(), bar->isTextVisible(),
                         bar->invertedAppearance()},
            QVariantList{0, 0, 100, false, false});
        row("label_3 parent", ui.label_3->parent()->objectName(), "InstallationCompletePage");
        row("label_3 geometry", ui.label_3->geometry(), QRect(60, 30, 341, 141));
        row("TitleLabel font installed", QFontInfo(ui.TitleLabel->font()).family(), "DejaVu Sans");
        const struct {
            QLabel* label;
            QString text;
            QString font; // family and size; empty: the application's font
            bool wordWrap;
        } labels[] = {
            {ui.TitleLabel, designedTitle, QStringLiteral("DejaVu Sans 25"), false},
            {ui.TextLabel, warningText, QString(), true},
            {ui.labelPercentage, QStringLiteral("0%"), QString(), false},
            {ui.label_3, QStringLiteral("Installation Complete....Unplug and Reboot"),
             QApplication::font().family() + QStringLiteral(" 25"), true},
        };
        for (const auto& entry : labels) {
            const QString name = entry.label->objectName();
            row(name + " text", entry.label->text(), entry.text);
            const QString font = entry.label->font().family() +
                                 QStringLiteral(" %1").arg(entry.label->font().pointSize());
            row(name + " font", entry.label->testAttribute(Qt::WA_SetFont) ? font : QString(),
                entry.font);
            row(name + " centred", int(entry.label->alignment()), int(Qt::AlignCenter));
            row(name + " word wrap", entry.label->wordWrap(), entry.wordWrap);
        }
    }
    void form()
    {
        QFETCH(QVariant, actual);
        QFETCH(QVariant, expected);
        QCOMPARE(actual, expected);
    }

    // The stand-in tool is a shell, in the card's folder, that runs each line
    // the test writes to it; each of these lines prints once: one arrival.
    void ticks_data()
    {
        QTest::addColumn<QString>("outputs");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("failed");
        const auto row = [](const char* name, const char* outputs, int page, bool failed) {
            QTest::newRow(name) << outputs << page << failed;
        };
        row("nothing arrives", "", 0, false);
        row("several lines in one read", "printf 'Erasing\\n0\\nWriting\\n'\necho 0", 0, false);
        row("the marker among other lines", "printf 'Lock\\n0\\nFLASH COMPLETE\\n'", 1, false);
        row("the marker split over two reads", "printf 'FLASH COMP'\necho LETE", 0, false);
        row("the marker in lower case", "echo flash complete", 0, false);
        row("the marker behind a NUL byte", "printf 'x\\000FLASH COMPLETE\\n'", 0, false);
        row("FLASH FAILED", "printf 'IMAGE REJECTED: zImage\\nFLASH FAILED\\n'", 0, true);
        row("the manifest missing", "rm lumoManifest; echo Erasing", 0, true);
        row("the manifest missing at the marker", "rm lumoManifest; echo FLASH COMPLETE", 0, true);
        row("the marker after FLASH FAILED", "echo FLASH FAILED\necho FLASH COMPLETE", 0, true);
        row("the marker after the manifest came back",
            "rm lumoManifest; echo x\necho V >lumoManifest; echo FLASH COMPLETE", 0, true);
        row("a failure after completion", "echo FLASH COMPLETE\nrm lumoManifest; echo x", 1, true);
    }
    void ticks()
    {
        QFETCH(QString, outputs);
        QFETCH(int, page);
        QFETCH(bool, failed);
        QVERIFY(writeFile(manifestPath, "Version,1\n"));
        QVERIFY(startWindow(QStringLiteral("/bin/dash")));
        window->processObject->write("cd /mnt/sd-card\n");
        const QStringList lines = outputs.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines)
            QVERIFY2(tick(line), qPrintable(line));
        QCoreApplication::processEvents();

        QCOMPARE(debugLines.size(), lines.size());
        QCOMPARE(widget<QStackedWidget>("stackedWidget")->currentIndex(), page);
        QCOMPARE(widget<QProgressBar>("progressBarPercentage")->isHidden(), failed);
        QCOMPARE(widget<QLabel>("TitleLabel")->text(), failed ? failureTitle : designedTitle);
        QCOMPARE(widget<QLabel>("TextLabel")->text(), failed ? failureText : warningText);
        // The hidden bar keeps its place: the column and its texts keep their width.
        QCOMPARE(widget<QWidget>("verticalLayoutWidget")->geometry(), QRect(0, 0, 471, 261));
        QCOMPARE(widget<QLabel>("TextLabel")->width(), 471);
    }

    // The bar's scale, and completion past it; calling the slot stands for
    // an arrival of nothing. Ticks, percentage, the bar's value and maximum:
    void scale()
    {
        QVERIFY(writeFile(manifestPath, "Version,1\n"));
        QVERIFY(startWindow(QStringLiteral("/bin/dash")));
        QCOMPARE(int(window->windowFlags()), int(Qt::Window | Qt::FramelessWindowHint));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
        QVERIFY(screenshot("installation-0-percent"));
        QVERIFY(tick(QStringLiteral("echo Unlock the file system...")));
        const int steps[][4] = {{1, 0, 0, 14500},           {146, 1, 145, 14500},
                                {7251, 50, 7250, 14500},    {14500, 99, 14499, 14500},
                                {14501, 100, 14501, 14501}, {14646, 101, 14646, 14646}};
        const QProgressBar* bar = widget<QProgressBar>("progressBarPercentage");
        for (const auto& step : steps) {
            for (int count = int(debugLines.size()); count < step[0]; ++count)
                window->processStandardOutput();
            QCOMPARE(debugLines.last(), QString::number(step[0]));
            QCOMPARE(widget<QLabel>("labelPercentage")->text(), QStringLiteral("%1%").arg(step[1]));
            QCOMPARE(QVariantList({bar->minimum(), bar->value(), bar->maximum()}),
                     QVariantList({0, step[2], step[3]}));
            if (step[1] == 50)
                QVERIFY(screenshot("installation-50-percent"));
        }
        QCOMPARE(widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);
        // Completion fills the bar and starts the count again.
        QVERIFY(tick(QStringLiteral("echo FLASH COMPLETE")));
        QCOMPARE(QVariantList({bar->value(), bar->maximum()}), QVariantList({14647, 14647}));
        QVERIFY(tick(QStringLiteral("echo more")));
        QCOMPARE(QStringList(debugLines.mid(debugLines.size() - 2)),
                 (QStringList{QStringLiteral("14647"), QStringLiteral("1")}));
        QCOMPARE(widget<QLabel>("labelPercentage")->text(), QStringLiteral("0%"));
        QCOMPARE(widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
    }

    // The real `cardflash -f` with a one-image package, writing through the
    // stand-in MTD utilities to partitions that the test makes.
    void tool_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("a valid package completes") << false;
        QTest::newRow("a damaged image fails") << true;
    }
    void tool()
    {
#ifndef CARDFLASH_BINARY
        QSKIP("cardflash is not built in this tree");
#else
        QFETCH(bool, damaged);
        const QByteArray kernel(6000, 'k'); // no line feeds: the checksum covers every byte
        const auto digest = [&](auto kind) {
            return QCryptographicHash::hash(kernel, kind).toHex();
        };
        for (int partition = 0; partition < 9; ++partition)
            QVERIFY(writeFile(QStringLiteral("/dev/mtd%1").arg(partition),
                              QByteArray(1 << 20, '\xff')));
        QVERIFY(writeFile(manifestPath, "Version,2.1\nzImage," + digest(QCryptographicHash::Sha1) +
                                            '-' + digest(QCryptographicHash::Md5)));
        QVERIFY(QDir().mkpath(QStringLiteral("/images")));
        QVERIFY(writeFile(QStringLiteral("/images/zImage"),
                          damaged ? QByteArray(kernel).replace(9, 1, "x") : kernel));
        QVERIFY(startWindow(QStringLiteral(CARDFLASH_BINARY)));
        QTRY_COMPARE_WITH_TIMEOUT(window->processObject->state(), QProcess::NotRunning, 60000);

        QCOMPARE(widget<QStackedWidget>("stackedWidget")->currentIndex(), damaged ? 0 : 1);
        QCOMPARE(widget<QProgressBar>("progressBarPercentage")->isHidden(), damaged);
        QCOMPARE(widget<QLabel>("TitleLabel")->text(), damaged ? failureTitle : designedTitle);
        QFile kernelPartition(QStringLiteral("/dev/mtd4"));
        QVERIFY(kernelPartition.open(QIODevice::ReadOnly));
        QCOMPARE(kernelPartition.read(kernel.size()) == kernel, !damaged);
        QVERIFY(screenshot(damaged ? "failure-page" : "completion-page"));
#endif
    }

private:
    // Installs the program as the flash tool and opens the window, which starts it.
    bool startWindow(const QString& tool)
    {
        QFile::remove(toolPath);
        if (!QFile::copy(tool, toolPath) || !QFile::setPermissions(toolPath, QFile::ExeOwner))
            return false;
        debugLines.clear();
        testHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                type == QtDebugMsg ? debugLines.append(text) : testHandler(type, context, text);
            });
        window.reset(new MainWindow);
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    // Has the stand-in tool run one line, and waits for what it prints.
    bool tick(const QString& line)
    {
        window->processObject->write(line.toUtf8() + '\n');
        return window->processObject->waitForBytesWritten(10000) &&
               window->processObject->waitForReadyRead(10000);
    }

    template <typename Widget> Widget* widget(const char* name) const
    {
        return window->findChild<Widget*>(QLatin1String(name));
    }

    bool screenshot(const char* name)
    {
        QCoreApplication::processEvents();
        return QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)) &&
               window->grab().save(
                   QStringLiteral(SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name)));
    }

    QMainWindow plain;
    Ui::MainWindow ui;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(ViewTest)
#include "view_test.moc"
