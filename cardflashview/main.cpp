#include "mainwindow.h"

#include <QApplication>
#include <QHash>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace
{

// The program's own file is small and lies in a file system that the update
// rewrites: all of it is kept, whatever of it has run so far.
void lockOwnProgram()
{
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    FILE* maps = fopen("/proc/self/maps", "re");
    if (length <= 0 || maps == nullptr) {
        if (maps != nullptr)
            (void)fclose(maps);
        return;
    }
    char line[4096 + 128];
    while (fgets(line, sizeof line, maps) != nullptr) {
        const char* path = strchr(line, '/');
        if (path == nullptr || std::string(path).compare(0, size_t(length), self) != 0)
            continue;
        char* dash = nullptr;
        const unsigned long start = strtoul(line, &dash, 16);
        const unsigned long end = strtoul(dash + 1, nullptr, 16);
        // The kernel tells the mappings by their addresses, as numbers.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        (void)mlock(reinterpret_cast<void*>(start), end - start);
    }
    (void)fclose(maps);
}

// The update that this window shows rewrites the root file system that it
// and its libraries, plugins and fonts are read from. Every page it touches
// stays in RAM from then on (locked as it is first used, not read whole
// beforehand: Qt, ICU and the fonts are mostly never needed), and it draws
// every page once at start (MainWindow) so that what the later pages need is
// among them. A kernel without locking on first use gets everything locked;
// a unit that cannot lock at all still shows the update.
void keepPagesInRam()
{
    if (mlockall(MCL_CURRENT | MCL_FUTURE | MCL_ONFAULT) != 0 && errno == EINVAL)
        (void)mlockall(MCL_CURRENT | MCL_FUTURE);
    lockOwnProgram();
}

// Qt seeds its hash tables from the kernel's random numbers, and the first
// of those waits until the kernel has gathered its entropy: on a unit just
// started that is many seconds, all of them before the first page. The
// window hashes nothing that could be chosen to collide (a few image names).
void seedHashesWithoutWaiting()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 2, 0)
    QHashSeed::setDeterministicGlobalSeed();
#else
    qSetGlobalQHashSeed(0);
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    seedHashesWithoutWaiting();
    keepPagesInRam();
    QApplication application(argc, argv);
    MainWindow window;
    window.setVisible(true);
    return application.exec();
}
