// The display's form, ticks and pages; a MainWindow runs in the sandboxed unit only (CMake).

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QtTest>

using List = QVariantList;
static const QString title = "Software Installation";
static const QString warning =
    "During software installation DO NOT REMOVE the SD card or power down \n the unit.  It is "
    "possible that the unit will be rendered inoperable if you  perform either of those actions "
    "during software installation.";
static const QString failText = "You have removed the SD Card or there has been a hardware "
                                "failure.  Unplug the unit and plug it back in to try again.";
static const QString refused = "The update package on the SD card was refused.\nThe unit was not "
                               "changed.\n\n%1\n\nRemove the SD card and restart the unit.";
static const QString incomplete =
    "The update did not complete.\nLeave the SD card in and restart the unit to try again.";

// Widgets and layouts by name, spacers as "WxH policies" (0 Fixed, 1 Minimum, 7 Expanding).
static QString describe(const QLayout* layout)
{
    QStringList items;
    for (int i = 0; QLayoutItem* it = layout->itemAt(i); ++i) {
        const QSizePolicy p = it->spacerItem() ? it->spacerItem()->sizePolicy() : QSizePolicy();
        const QObject* named = it->widget() ? it->widget() : static_cast<QObject*>(it->layout());
        items << (named ? named->objectName()
                        : QString::asprintf("%dx%d %d/%d", it->sizeHint().width(),
                                            it->sizeHint().height(), p.horizontalPolicy(),
                                            p.verticalPolicy()));
    }
    return items.join(' ');
}

// The window writes its tick count on the debug channel.
static QStringList ticked;
static QtMessageHandler handler = nullptr;
static const QString installed = "/usr/share/lumo/bin/cardflash";
static void collect(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    type == QtDebugMsg ? ticked.append(text) : handler(type, context, text);
}

// Writes only in the sandboxed unit: elsewhere these paths are a real machine's.
static bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QFile::exists("/run/unit-sandbox/config") && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

class ViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { handler = qInstallMessageHandler(collect); }
    void cleanup() // and before each window
    {
        if (win) // the stand-in tool ends with its input
            win->processObject->closeWriteChannel(), win->processObject->waitForFinished();
        win.reset();
        ticked.clear();
    }

    // The form as designed on a plain QMainWindow (no tool); labels: text, set font, centring, wrap
    void form()
    {
        QMainWindow plain;
        Ui::MainWindow ui;
        ui.setupUi(&plain);
        const auto label = [](const QLabel* l) {
            const QString font = l->font().family() + QString(" %1").arg(l->font().pointSize());
            return List{l->text(), l->testAttribute(Qt::WA_SetFont) ? font : "",
                        l->alignment() == Qt::AlignCenter, l->wordWrap()};
        };
        const QProgressBar* bar = ui.progressBarPercentage;
        const QVBoxLayout* column = ui.verticalLayout;
        const QVariant table[][2] = {
            {List{plain.size(), plain.objectName(), plain.windowTitle(),
                  ui.stackedWidget->geometry()},
             List{QSize(479, 272), "MainWindow", "MainWindow", QRect(7, 0, 479, 272)}},
            {ui.verticalLayoutWidget->geometry(), QRect(0, 0, 471, 261)},
            {describe(column), "20x40 1/7 TitleLabel TextLabel 20x40 1/7 labelPercentage "
                               "horizontalLayout 20x40 1/0"},
            {describe(ui.horizontalLayout), "40x20 0/1 progressBarPercentage 40x20 0/1"},
            {List{column->contentsMargins() == QMargins(), column->spacing(),
                  column->sizeConstraint() == QLayout::SetMinAndMaxSize, bar->value(),
                  bar->maximum(), bar->isTextVisible()},
             List{true, 6, true, 0, 100, false}},
            {List{ui.verticalLayoutWidget->parent()->objectName(),
                  ui.label_3->parent()->objectName(), ui.label_3->geometry()},
             List{"InstallationPage", "InstallationCompletePage", QRect(60, 30, 341, 141)}},
            {QFontInfo(ui.TitleLabel->font()).family(), "DejaVu Sans"}, // installed
            {label(ui.TitleLabel), List{title, "DejaVu Sans 25", true, false}},
            {label(ui.TextLabel), List{warning, "", true, true}},
            {label(ui.labelPercentage), List{"0%", "", true, false}},
            {label(ui.label_3), List{"Installation Complete....Unplug and Reboot",
                                     QApplication::font().family() + " 25", true, true}}};
        for (const auto& row : table)
            QCOMPARE(row[0], row[1]);
    }

    // A shell in the card's folder stands in for the tool: one line, one arrival. First, with a
    // package whose size cannot be told (no image), the scale of arrivals; the slot alone ticks.
    void ticks()
    {
        QVERIFY(start("/bin/dash"));
        QCOMPARE(int(win->windowFlags()), int(Qt::Window | Qt::FramelessWindowHint));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
        const int steps[][3] = {{1, 0, 0},      {145, 1, 0},    {7250, 50, 0},
                                {14500, 99, 0}, {14647, 99, 0}, {14648, 100, 1}};
        int arrivals = 0;
        for (const auto& s : steps) {
            for (; arrivals < s[0] - 1; ++arrivals)
                win->processStandardOutput();
            QVERIFY(tick(s[0] < 14648 ? "echo x" : "echo FLASH COMPLETE"));
            ++arrivals;
            QCOMPARE(
                List({ticked.last(), at("labelPercentage", "text"), at(bar, "value"),
                      at("stackedWidget", "currentIndex")}),
                List({QString("progress %1%").arg(s[1]), QString("%1%").arg(s[1]), s[1], s[2]}));
            QVERIFY(win->grab().save(QString(SCREENSHOT_DIR "/%1-percent.png").arg(s[1])));
        }
        QVERIFY(tick("echo more"));
        QCOMPARE(List({ticked.last(), at("labelPercentage", "text")}),
                 List({"progress 100%", "100%"}));
        // Page, title, text (a failure hides the bar and the percentage, which keep their place:
        // widths), picture; a tool that ends untold; last the real `cardflash -f` through the
        // stand-in MTD utilities: a valid image, a damaged one, a device tree whose write fails.
        const QString card = "Installation Failed", refusal = "Package Refused";
        const std::tuple<const char*, int, QString, QString, const char*> rows[] = {
            {"printf 'Lock\\n0\\nFLASH COMPLETE\\n'", 1, title, warning, ""},
            {"printf 'FLASH COMP'\necho LETE", 1, title, warning, ""}, // whole once it ends
            {"echo flash complete", 0, title, warning, ""},
            {"printf 'x\\000FLASH COMPLETE\\n'", 0, title, warning, ""},
            {"printf 'IMAGE REJECTED: z\\001Image\\nFLASH FAILED\\n'", 0, refusal,
             refused.arg("IMAGE REJECTED: z?Image"), ""},
            {"printf 'UPDATE INC'\necho 'OMPLETE\\nFLASH FAILED'", 0, "Update Incomplete",
             incomplete, ""},
            {"rm lumoManifest; echo FLASH COMPLETE", 0, card, failText, "card-removed-page"},
            {"rm lumoManifest; printf 'UPDATE INCOMPLETE\\nFLASH FAILED\\n'", 0, card, failText,
             ""},
            {"echo FLASH FAILED\necho FLASH COMPLETE", 0, refusal, refused.arg(""), ""},
            {"rm lumoManifest; echo x\necho V >lumoManifest; echo FLASH COMPLETE", 0, card,
             failText, ""},
            {"echo FLASH COMPLETE\nrm lumoManifest; echo x", 1, card, failText, ""},
            {"echo FLASH COMPLETE\nexit", 1, title, warning, ""},
            {"echo Unlock the file system...\nkill -9 $$", 0, refusal, refused.arg(""), ""},
            {"exit", 0, refusal, refused.arg(""), ""},
            {"echo Erasing /dev/mtd1\nkill -9 $$", 0, "Update Incomplete", incomplete, "ended"},
            {"echo Unpacking lumoTarBall.tar.gz\nkill -9 $$", 0, "Update Incomplete", incomplete,
             ""},
            {"cardflash", 1, title, warning, "completion-page"},
            {"cardflash", 0, refusal, refused.arg("IMAGE REJECTED: zImage"), "refused-page"},
            {"cardflash", 0, "Update Incomplete", incomplete, "incomplete-page"}};
        const QByteArray kernel(6000, 'k'), tree("tree"); // no line feeds: every byte is checked
        const auto legacy = [](const QByteArray& bytes) {
            return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex() + '-' +
                   QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
        };
        const QByteArray manifest = "Version,2.1\nzImage," + legacy(kernel);
        QVERIFY(put("/images/at91sam9g35ek.dtb", tree)); // flashcp fails on its mtd3
        for (int partition = 0; partition < 9; ++partition)
            QVERIFY(put(QString("/dev/mtd%1").arg(partition), QByteArray(1 << 20, '\xff')));
        for (const auto& [lines, page, titled, text, picture] : rows) {
            const bool real = QString(lines) == "cardflash";
            const bool refuse = QString(picture) == "refused-page";
            QVERIFY(put("/images/zImage", refuse ? QByteArray(kernel).replace(9, 1, "x") : kernel));
            const bool incomplete = QString(picture) == "incomplete-page";
            QVERIFY(
                start(real ? CARDFLASH_BINARY : "/bin/dash",
                      incomplete ? manifest + "\nat91sam9g35ek.dtb," + legacy(tree) : manifest));
            win->processObject->write("cd /mnt/sd-card\n");
            for (const QString& line : real ? QStringList() : QString(lines).split('\n'))
                QVERIFY2(tick(line), lines);
            QTRY_VERIFY_WITH_TIMEOUT(!real || !win->processObject->processId(), 60000);
            QCoreApplication::processEvents();
            const QString shown =
                at("TextLabel", "text").toString(); // the warning in lines of its own
            QCOMPARE((List{lines, at("stackedWidget", "currentIndex"),
                           hidden(bar) && hidden("labelPercentage"), at("TitleLabel", "text"),
                           text == warning ? shown.simplified() : shown,
                           at("verticalLayoutWidget", "width"), at("TextLabel", "width")}),
                     (List{lines, page, titled != title, titled,
                           text == warning ? warning.simplified() : text, 471, 471}));
            QVERIFY(!*picture || win->grab().save(SCREENSHOT_DIR "/" + QString(picture) + ".png"));
        }
    }

    // The share of bytes written and verified, on a trimmed transcript of the emulated unit's
    // recovery after a cut (flash_erase's and flashcp's own lines; "# P": the percentage by then),
    // with a larger font, like the unit's, in which the warning still keeps to three lines; for a
    // tar ball or a manifest over 64 KiB, arrivals.
    void bytes()
    {
        const std::pair<QByteArray, qint64> images[] = {{"uboot.bin", 430092},
                                                        {"at91sam9g35ek.dtb", 9080},
                                                        {"zImage", 2176040},
                                                        {"rootfs.squashfs", 32100352},
                                                        {"usr_share_lumo.jffs2", 146644},
                                                        {"usr_share_jail.jffs2", 180},
                                                        {"var.jffs2", 380},
                                                        {"bootstrap.bin", 24588}};
        QByteArray manifest = "Version,2.4.0\nboot:zImage,x\nuboot.bin,x\n";
        for (const auto& [name, size] : images) {
            QVERIFY(put("/images/" + name, "") && QFile::resize("/images/" + name, size));
            manifest += name + ",x\n";
        }
        QFile transcript(TRANSCRIPT);
        QVERIFY(transcript.open(QIODevice::ReadOnly));
        const QList<QByteArray> pieces = transcript.readAll().split('#');
        QApplication::setFont(QFont("DejaVu Sans", 14));
        // A manifest of 64 KiB is read, a longer one is not: its bar counts arrivals.
        const auto padded = [&](int size) {
            return QByteArray(size - manifest.size() - 1, 'p') + '\n';
        };
        const std::pair<QByteArray, bool> packages[] = {{"", true},
                                                        {"lumoTarBall.tar.gz,x\n", false},
                                                        {padded(65536), true},
                                                        {padded(65537), false}};
        for (const auto& [tail, followsBytes] : packages) {
            QVERIFY(start("/bin/dash", manifest + tail));
            const QLabel* text = win->findChild<QLabel*>("TextLabel");
            const QStringList warningLines = text->text().split('\n');
            QVERIFY(warningLines.size() == 3 && text->heightForWidth(471) < 4 * text->height() / 3);
            for (const QString& line : warningLines)
                QVERIFY(QFontMetrics(text->font()).horizontalAdvance(line) < 471);
            for (int i = 1; i < pieces.size(); ++i) {
                win->processObject->write(
                    "printf %s '" + pieces[i - 1].mid(pieces[i - 1].indexOf('\n') + 1) + "'\n");
                const int percent = pieces[i].left(pieces[i].indexOf('\n')).toInt();
                QTRY_COMPARE(at("labelPercentage", "text"),
                             QString("%1%").arg(followsBytes || percent == 100 ? percent : 0));
                QVERIFY(percent != 76 || tail.size() ||
                        win->grab().save(SCREENSHOT_DIR "/large-font.png"));
            }
        }
        for (const auto& image : images)
            QVERIFY(QFile::remove("/images/" + image.first));
    }

private:
    bool tick(const QString& line) // and wait for what it prints, or for its end
    {
        return win->processObject->write(line.toUtf8() + '\n') &&
               (line.contains(QRegularExpression("^exit|kill"))
                    ? win->processObject->waitForFinished()
                    : win->processObject->waitForReadyRead());
    }

    // Writes the card's manifest, installs the program as the flash tool, opens the window.
    bool start(const QString& tool, const QByteArray& manifest = "Version,1\n")
    {
        cleanup();
        if (!put("/mnt/sd-card/lumoManifest", manifest) ||
            (QFile::remove(installed), !QFile::copy(tool, installed)))
            return false;
        win.reset(new MainWindow);
        win->show(); // the tool starts once the window is up
        return QTest::qWaitFor([&] { return !ticked.isEmpty(); }); // its first line: 0 %
    }

    QVariant at(const char* o, const char* p) { return win->findChild<QWidget*>(o)->property(p); }
    bool hidden(const char* o) { return win->findChild<QWidget*>(o)->isHidden(); }
    std::unique_ptr<MainWindow> win;
    const char* bar = "progressBarPercentage";
};

QTEST_MAIN(ViewTest)
#include "view_test.moc"
