#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QProcess>
#include <QString>

#include "tooloutput.h"

namespace Ui
{
class MainWindow;
}

// The installer's progress window: starts the flash tool and turns every
// arrival of its standard output into one step of the progress bar.
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
    void showFailure();
    void showPage(const char* title, const QString& text);
    QString reasonLines() const;
    void fillProgressBar(int ticks);
    static void hidePointer();

    Ui::MainWindow* ui;
    ToolOutput toolOutput;
    // Once failed, nothing turns the installation into a completed one. A
    // card that went away keeps its own page.
    bool cardGone;
    bool flashFailed;

    static const QString m_applicationCommand;
    static const QString m_flashComplete;
    static const QString m_flashFailed;
    static const QString m_updateIncomplete;
    static const int m_totalCompletedLines;
    static const qint32 m_installationCompleteScreen;
};

#endif // MAINWINDOW_H
