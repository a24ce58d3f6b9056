// The window with the real flash tool: `cardflash -f` runs in the sandboxed
// unit against the stand-in MTD utilities, and the window ends on the page
// that the tool's outcome calls for.

#include "ViewTestSupport.h"
#include "mainwindow.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace viewtest;

namespace
{

// Images without line feeds or NUL bytes: their checksum text is taken over
// every byte.
QByteArray imageBytes(char first, int size)
{
    QByteArray bytes(size, first);
    for (int index = 0; index < size; ++index)
        bytes[index] = char('A' + (first + index) % 26);
    return bytes;
}

QByteArray checksumText(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex() + '-' +
           QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

QByteArray readFile(const QString& path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

} // namespace

class CardflashViewSystemTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { verifyInsideSandboxedUnit(); }

    void init()
    {
        kernel = imageBytes('k', 6000);
        rootfs = imageBytes('r', 20000);
        QVERIFY(writeFile(QStringLiteral("/images/zImage"), kernel));
        QVERIFY(writeFile(QStringLiteral("/images/rootfs.squashfs"), rootfs));
        QVERIFY(writeFile(QStringLiteral("/mnt/sd-card/lumoManifest"),
                          "Version,2.1.0\nzImage," + checksumText(kernel) + "\nrootfs.squashfs," +
                              checksumText(rootfs) + "\n"));
    }

    void aGoodPackageEndsOnTheCompletionPage()
    {
        runWindowToTheToolsEnd();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(stack(window.get())->currentIndex(), 1);
        QCOMPARE(label(window.get(), "label_3")->text(), completionText);
        QCOMPARE(label(window.get(), "TitleLabel")->text(), designedTitle);
        QVERIFY(ticks > 0);
        QCOMPARE(readFile(QStringLiteral("/dev/mtd4"), kernel.size()), kernel);
        QCOMPARE(readFile(QStringLiteral("/dev/mtd5"), rootfs.size()), rootfs);
        QVERIFY(saveScreenshot(*window, QStringLiteral("tool-complete")));
    }

    void aCorruptImageEndsOnTheFailureTexts()
    {
        QByteArray damaged = kernel;
        damaged[100] = 'x';
        QVERIFY(writeFile(QStringLiteral("/images/zImage"), damaged));

        runWindowToTheToolsEnd();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(stack(window.get())->currentIndex(), 0);
        verifyFailureShown(window.get());
        QVERIFY(ticks > 0);
        QVERIFY(saveScreenshot(*window, QStringLiteral("tool-failed")));
    }

    void cleanup() { window.reset(); }

private:
    void runWindowToTheToolsEnd()
    {
        DebugCapture debug;
        window.reset(new MainWindow);
        QSignalSpy finished(window->processObject, SIGNAL(finished(int, QProcess::ExitStatus)));
        window->show();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        QCOMPARE(window->processObject->exitStatus(), QProcess::NormalExit);
        ticks = debug.messages().size();
    }

    QByteArray kernel;
    QByteArray rootfs;
    int ticks = 0;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(CardflashViewSystemTest)
#include "cardflashview_systest.moc"
