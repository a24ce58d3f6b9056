#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "statuslines.h"

#include <QApplication>
#include <QByteArray>
#include <QChar>
#include <QCursor>
#include <QDebug>
#include <QFileInfo>
#include <QFontMetrics>
#include <QSizePolicy>
#include <QStringList>

const QString MainWindow::m_applicationCommand = QString::fromLatin1(statuslines::kToolCommand);
const QString MainWindow::m_flashComplete = QString::fromLatin1(statuslines::kFlashComplete);
const QString MainWindow::m_flashFailed = QString::fromLatin1(statuslines::kFlashFailed);
const QString MainWindow::m_updateIncomplete = QString::fromLatin1(statuslines::kUpdateIncomplete);
const int MainWindow::m_totalCompletedLines = 14500;
const qint32 MainWindow::m_installationCompleteScreen = 1;

namespace
{

const char failureTitle[] = "Installation Failed";
const char failureText[] = "You have removed the SD Card or there has been a hardware failure.  "
                           "Unplug the unit and plug it back in to try again.";
// Nothing was written: the same card gives the same refusal.
const char refusedTitle[] = "Package Refused";
const char refusedText[] = "The update package on the SD card was refused.\n"
                           "The unit was not changed.\n\n%1\n\n"
                           "Remove the SD card and restart the unit.";
// Something was written: the unit needs the update to be run again.
const char incompleteTitle[] = "Update Incomplete";
const char incompleteText[] = "The update did not complete.\n"
                              "Leave the SD card in and restart the unit to try again.";

// The reason comes from the card in part: printable characters only.
QString printable(QString text)
{
    for (QChar& c : text)
        if (c.unicode() < ' ' || c.unicode() > '~')
            c = QLatin1Char('?');
    return text;
}

// The page's column keeps its size between its layout's minimum and maximum;
// a hidden bar that gave up its place would narrow the column to the width
// of the title and push the failure texts off centre.
void hideKeepingItsPlace(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->hide();
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), processObject(nullptr), ui(new Ui::MainWindow),
      toolOutput({m_flashComplete, m_flashFailed, m_updateIncomplete}), cardGone(false),
      flashFailed(false)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    hidePointer();

    processObject = new QProcess(this);
    processObject->setReadChannel(QProcess::StandardOutput);
    connect(processObject, &QProcess::readyReadStandardOutput, this,
            &MainWindow::processStandardOutput);
    startTool();
}

MainWindow::~MainWindow()
{
    delete ui;
    delete processObject;
}

// Nothing on the installer's display is there to be pointed at; a pointer
// would only cover the texts.
void MainWindow::hidePointer()
{
    QApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
}

// The command stays one text; QProcess wants the program and its arguments apart.
void MainWindow::startTool()
{
    QStringList arguments = QProcess::splitCommand(m_applicationCommand);
    const QString program = arguments.takeFirst();
    processObject->start(program, arguments, QIODevice::ReadWrite);
}

void MainWindow::processStandardOutput()
{
    static quint32 counter = 0;
    const quint32 percentMultiplier = 100;
    const quint32 minimumValue = 0;
    const QChar percentIndicator('%');
    const QString manifestFileName = QString::fromLatin1(statuslines::kManifestOnCard);

    const bool manifestFileExists = QFileInfo(manifestFileName).exists();
    const QByteArray received = processObject->readAllStandardOutput();
    toolOutput.add(QString::fromLatin1(received));

    ui->progressBarPercentage->setMaximum(m_totalCompletedLines);
    ui->progressBarPercentage->setMinimum(minimumValue);

    cardGone = cardGone || !manifestFileExists;
    flashFailed = toolOutput.seen(m_flashFailed);
    const bool installationFailed = cardGone || flashFailed;
    const bool flashIsComplete = toolOutput.seen(m_flashComplete) && !installationFailed;

    const quint32 percentage = counter * percentMultiplier / quint32(m_totalCompletedLines);
    ui->labelPercentage->setText(QString::number(percentage) + percentIndicator);
    ui->progressBarPercentage->setValue(int(counter));

    ++counter;
    qDebug() << counter;
    const bool counterIsBiggerThanExpected = counter > quint32(m_totalCompletedLines);

    if (installationFailed)
        showFailure();
    if (counterIsBiggerThanExpected)
        fillProgressBar(int(counter));
    if (flashIsComplete) {
        fillProgressBar(int(counter));
        counter = 0;
        ui->stackedWidget->setCurrentIndex(m_installationCompleteScreen);
    }
}

void MainWindow::showFailure()
{
    hideKeepingItsPlace(ui->progressBarPercentage);
    if (cardGone)
        showPage(failureTitle, QString::fromLatin1(failureText));
    else if (toolOutput.seen(m_updateIncomplete))
        showPage(incompleteTitle, QString::fromLatin1(incompleteText));
    else
        showPage(refusedTitle, QString::fromLatin1(refusedText).arg(reasonLines()));
}

void MainWindow::showPage(const char* title, const QString& text)
{
    ui->TitleLabel->setText(QString::fromLatin1(title));
    ui->TextLabel->setText(text);
}

// The tool's first line gives the reason, cut into two lines at most that
// fit the label: at a blank where one fits, the second shortened with an
// ellipsis when it is too long.
QString MainWindow::reasonLines() const
{
    QString reason = printable(toolOutput.firstLine());
    if (reason.contains(m_flashFailed))
        return QString();
    const QFontMetrics metrics(ui->TextLabel->font());
    const int width = ui->TextLabel->width();
    qsizetype fits = reason.size();
    while (fits > 1 && metrics.horizontalAdvance(reason.left(fits)) > width)
        --fits;
    if (fits == reason.size())
        return reason;
    const qsizetype blank = reason.lastIndexOf(QLatin1Char(' '), fits - 1);
    const qsizetype cut = blank > 0 ? blank : fits;
    return reason.left(cut) + QLatin1Char('\n') +
           metrics.elidedText(reason.mid(cut).trimmed(), Qt::ElideRight, width);
}

// Raising the maximum to the value keeps the bar full past its planned scale.
void MainWindow::fillProgressBar(int ticks)
{
    ui->progressBarPercentage->setMaximum(ticks);
    ui->progressBarPercentage->setValue(ticks);
}
