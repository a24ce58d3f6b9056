#include "mainwindow.h"

#include <QApplication>

#include <sys/mman.h>

int main(int argc, char* argv[])
{
    // The update that this window shows rewrites the root file system that
    // it and its libraries, plugins and fonts are read from: every page is
    // kept in RAM from the start, so that none is read back from the
    // rewritten flash. A unit that cannot lock them still shows the update.
    (void)mlockall(MCL_CURRENT | MCL_FUTURE);
    QApplication application(argc, argv);
    MainWindow window;
    window.setVisible(true);
    return application.exec();
}
