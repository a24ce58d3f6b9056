#include "mainwindow.h"

#include "ui_mainwindow.h"

#include "pagetexts.h"
#include "statuslines.h"

#include <QApplication>
#include <QByteArray>
#include <QChar>
#include <QCursor>
#include <QDebug>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QRegularExpression>
#include <QSizePolicy>
#include <QStringList>
#include <QTimer>

const QString MainWindow::m_applicationCommand = QString::fromLatin1(statuslines::kToolCommand);
const qint32 MainWindow::m_installationCompleteScreen = 1;

namespace
{

const int completePercent = 100;
const int warningLines = 3;
// Room left at the column's sides, so that the label never wraps a line again.
const int warningMargin = 8;

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

// TEXT broken at blanks into lines no wider than WIDTH, as METRICS measure
// them. A line end of the text, with the blanks around it, is one blank; a
// run of blanks inside a line stays as it is.
QStringList linesOf(const QString& text, const QFontMetrics& metrics, int width)
{
    static const QRegularExpression lineEnd(QStringLiteral(" *\n *"));
    QStringList lines;
    QString line;
    for (const QString& word :
         QString(text).replace(lineEnd, QStringLiteral(" ")).split(QLatin1Char(' '))) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.trimmed().isEmpty() && metrics.horizontalAdvance(longer.trimmed()) > width) {
            lines << line.trimmed();
            line = word;
        } else
            line = longer;
    }
    return lines << line.trimmed();
}

// The warning keeps to three lines whatever fonts the platform gives: the
// unit's framebuffer takes larger ones than a desktop does. The lines are
// broken here, by the widths of the words, so that the label does not wrap
// them by measures of its own; the font is made smaller only while three
// lines cannot hold the text.
void fitWarning(Ui::MainWindow& form)
{
    QLabel* label = form.TextLabel;
    const QString text = label->text();
    const int width = form.verticalLayoutWidget->width() - warningMargin;
    QFont font = label->font();
    QStringList lines = linesOf(text, QFontMetrics(font), width);
    while (lines.size() > warningLines && font.pointSizeF() > 1) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        lines = linesOf(text, QFontMetrics(font), width);
    }
    while (lines.size() > warningLines && font.pixelSize() > 1) {
        font.setPixelSize(font.pixelSize() - 1);
        lines = linesOf(text, QFontMetrics(font), width);
    }
    label->setFont(font);
    label->setText(lines.join(QLatin1Char('\n')));
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), processObject(nullptr), ui(new Ui::MainWindow), shownPercent(-1)
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
    state.received(received.toStdString(), manifestFileExists);
    showState();
}

void MainWindow::toolEnded()
{
    if (processObject->bytesAvailable() > 0)
        processStandardOutput();
    state.toolEnded();
    showState();
}

void MainWindow::showState()
{
    switch (state.page()) {
    case UpdateState::Page::Installation:
        showProgress(state.percent());
        break;
    case UpdateState::Page::Complete:
        showProgress(state.percent());
        ui->stackedWidget->setCurrentIndex(m_installationCompleteScreen);
        break;
    case UpdateState::Page::CardRemoved:
        setFailurePage(*ui, pagetexts::kFailureTitle, QString::fromLatin1(pagetexts::kFailureText));
        break;
    case UpdateState::Page::Incomplete:
        setFailurePage(*ui, pagetexts::kIncompleteTitle,
                       QString::fromLatin1(pagetexts::kIncompleteText));
        break;
    case UpdateState::Page::Refused:
        setFailurePage(*ui, pagetexts::kRefusedTitle,
                       QString::fromLatin1(pagetexts::kRefusedText).arg(reasonLines()));
        break;
    }
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
    QString reason = QString::fromLatin1(state.reason().c_str());
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
    for (const char* title :
         {pagetexts::kFailureTitle, pagetexts::kRefusedTitle, pagetexts::kIncompleteTitle}) {
        setFailurePage(form, title, everyCharacter + QLatin1Char('\n') + everyCharacter);
        draw();
    }
    setPercent(form, completePercent);
    form.stackedWidget->setCurrentIndex(m_installationCompleteScreen);
    draw();
}
