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
#include <QImage>
#include <QSizePolicy>
#include <QStringList>
#include <QTimer>

const QString MainWindow::m_applicationCommand = QString::fromLatin1(statuslines::kToolCommand);
const QString MainWindow::m_flashComplete = QString::fromLatin1(statuslines::kFlashComplete);
const QString MainWindow::m_flashFailed = QString::fromLatin1(statuslines::kFlashFailed);
const QString MainWindow::m_updateIncomplete = QString::fromLatin1(statuslines::kUpdateIncomplete);
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
const int completePercent = 100;
const int warningLines = 3;

// The reason comes from the card in part: printable characters only.
QString printable(QString text)
{
    for (QChar& c : text)
        if (c.unicode() < ' ' || c.unicode() > '~')
            c = QLatin1Char('?');
    return text;
}

// The page's column keeps its size between its layout's minimum and maximum;
// a hidden widget that gave up its place would narrow the column to the
// width of the title and push the failure texts off centre.
void hideKeepingItsPlace(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->hide();
}

void setPercent(Ui::MainWindow& form, int percent)
{
    form.labelPercentage->setText(QString::number(percent) + QLatin1Char('%'));
    form.progressBarPercentage->setValue(percent);
}

// A failure page shows no percentage: nothing is in progress any more.
void setFailurePage(Ui::MainWindow& form, const char* title, const QString& text)
{
    hideKeepingItsPlace(form.progressBarPercentage);
    hideKeepingItsPlace(form.labelPercentage);
    form.TitleLabel->setText(QString::fromLatin1(title));
    form.TextLabel->setText(text);
}

// The warning keeps to three lines whatever fonts the platform gives: the
// unit's framebuffer takes larger ones than a desktop does. The label itself
// tells how high its text wraps in the column.
void fitWarning(Ui::MainWindow& form)
{
    QLabel* label = form.TextLabel;
    const int width = form.verticalLayoutWidget->width();
    QFont font = label->font();
    const auto tooHigh = [&]() {
        label->setFont(font);
        return label->heightForWidth(width) > warningLines * QFontMetrics(font).lineSpacing();
    };
    while (tooHigh() && font.pointSizeF() > 1)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    while (tooHigh() && font.pixelSize() > 1)
        font.setPixelSize(font.pixelSize() - 1);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), processObject(nullptr), ui(new Ui::MainWindow),
      toolOutput({m_flashComplete, m_flashFailed, m_updateIncomplete}), shownPercent(-1),
      writingBegun(false), endedUntold(false), cardGone(false)
{
    ui->setupUi(this);
    fitWarning(*ui);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    hidePointer();

    processObject = new QProcess(this);
    processObject->setReadChannel(QProcess::StandardOutput);
    connect(processObject, &QProcess::readyReadStandardOutput, this,
            &MainWindow::processStandardOutput);
    connect(processObject, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &MainWindow::toolEnded);
    connect(processObject, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            toolEnded();
    });
    QTimer::singleShot(0, this, &MainWindow::pageShown);
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

// The tool starts once the first page is up: its checking of the images
// would take the processor from the window's start.
void MainWindow::pageShown()
{
    showProgress(0);
    startTool();
    rehearsePages();
}

void MainWindow::processStandardOutput()
{
    const bool manifestFileExists =
        QFileInfo(QString::fromLatin1(statuslines::kManifestOnCard)).exists();
    const QByteArray received = processObject->readAllStandardOutput();
    const QStringList lines = toolOutput.add(QString::fromLatin1(received));
    if (!progress)
        progress = std::make_unique<UpdateProgress>(UpdateProgress::imagesOfPackage());
    progress->arrival();
    for (const QString& line : lines) {
        progress->line(line);
        writingBegun = writingBegun || line.startsWith(QLatin1String(statuslines::kErasing));
    }
    cardGone = cardGone || !manifestFileExists;
    showState();
}

// A tool that ends without its last line has not told how the update went:
// what it did so far decides. One that told changes nothing.
void MainWindow::toolEnded()
{
    if (processObject->bytesAvailable() > 0)
        processStandardOutput();
    endedUntold = !toolOutput.seen(m_flashComplete) && !toolOutput.seen(m_flashFailed);
    showState();
}

void MainWindow::showState()
{
    if (cardGone || endedUntold || toolOutput.seen(m_flashFailed))
        showFailure();
    else if (toolOutput.seen(m_flashComplete)) {
        showProgress(completePercent);
        ui->stackedWidget->setCurrentIndex(m_installationCompleteScreen);
    } else if (progress)
        showProgress(progress->percent());
}

void MainWindow::showFailure()
{
    if (cardGone)
        setFailurePage(*ui, failureTitle, QString::fromLatin1(failureText));
    else if (toolOutput.seen(m_updateIncomplete) || (endedUntold && writingBegun))
        setFailurePage(*ui, incompleteTitle, QString::fromLatin1(incompleteText));
    else
        setFailurePage(*ui, refusedTitle, QString::fromLatin1(refusedText).arg(reasonLines()));
}

// One debug line whenever the percentage shown changes.
void MainWindow::showProgress(int percent)
{
    if (percent == shownPercent)
        return;
    shownPercent = percent;
    setPercent(*ui, percent);
    qDebug().noquote() << QStringLiteral("progress %1%").arg(percent);
}

// The tool's first line gives the reason, cut into two lines at most that
// fit the label: at a blank where one fits, the second shortened with an
// ellipsis when it is too long. A tool that ended untold gave none.
QString MainWindow::reasonLines() const
{
    QString reason = printable(toolOutput.firstLine());
    if (endedUntold || reason.contains(m_flashFailed))
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

// Every page is drawn once off the screen, on a form of its own, while the
// root file system that the display's libraries and font come from is
// still whole: the code and the glyphs that the pages need are then in RAM,
// where the memory lock (main) keeps them while the update rewrites it.
void MainWindow::rehearsePages()
{
    QString everyCharacter;
    for (char16_t c = ' '; c <= '~'; ++c)
        everyCharacter += QChar(c);
    QMainWindow stage;
    Ui::MainWindow form;
    form.setupUi(&stage);
    fitWarning(form);
    QImage picture(stage.size(), QImage::Format_ARGB32_Premultiplied);
    const auto draw = [&]() {
        form.verticalLayout->activate();
        stage.render(&picture);
    };
    form.labelPercentage->setText(everyCharacter);
    draw();
    for (const char* title : {failureTitle, refusedTitle, incompleteTitle}) {
        setFailurePage(form, title, everyCharacter + QLatin1Char('\n') + everyCharacter);
        draw();
    }
    setPercent(form, completePercent);
    form.stackedWidget->setCurrentIndex(m_installationCompleteScreen);
    draw();
}
