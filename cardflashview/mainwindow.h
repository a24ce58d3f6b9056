#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QProcess>
#include <QString>

#include "updatestate.h"

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
    void showProgress(int percent);
    void pageShown();
    QString reasonLines() const;
    static void hidePointer();
    static void rehearsePages();

    Ui::MainWindow* ui;
    UpdateState state;
    int shownPercent;

    static const QString m_applicationCommand;
    static const qint32 m_installationCompleteScreen;
};

#endif // MAINWINDOW_H
