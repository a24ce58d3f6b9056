#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QProcess>
#include <QString>

#include <memory>

#include "tooloutput.h"
#include "updateprogress.h"

namespace Ui
{
class MainWindow;
}

// The installer's progress window: starts the flash tool, shows how far its
// writing has come, and how the update ended, also when the tool ends
// without saying so.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QProcess* processObject;

public slots:
    void processStandardOutput();

private:
    void startTool();
    void toolEnded();
    void showState();
    void showFailure();
    void showProgress(int percent);
    void pageShown();
    QString reasonLines() const;
    static void hidePointer();
    static void rehearsePages();

    Ui::MainWindow* ui;
    ToolOutput toolOutput;
    // Known from the first arrival on: the tool has mounted the card by then.
    std::unique_ptr<UpdateProgress> progress;
    int shownPercent;
    bool writingBegun;
    bool endedUntold;
    // Once failed, nothing turns the installation into a completed one. A
    // card that went away keeps its own page.
    bool cardGone;

    static const QString m_applicationCommand;
    static const QString m_flashComplete;
    static const QString m_flashFailed;
    static const QString m_updateIncomplete;
    static const qint32 m_installationCompleteScreen;
};

#endif // MAINWINDOW_H
