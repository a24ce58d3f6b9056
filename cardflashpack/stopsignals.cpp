#include "stopsignals.h"

#include <array>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace
{

// Each name of a package (the manifest, the signature, the tar ball, eight
// images, the boot set), written or taken away, never both, and the two
// folders those go in.
constexpr std::size_t kMostTemporaries = 18;
const int kStopSignals[] = {SIGINT, SIGTERM};

// Written only while the signals wait, read only by their handler.
std::array<std::array<char, PATH_MAX>, kMostTemporaries> temporaries{};

sigset_t stopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kStopSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

// Only async-signal-safe calls: unlink, then rmdir for the folders made
// (once the files in them are gone), then the signal's own ending.
extern "C" void removeTemporariesAndStop(int signal)
{
    for (const auto& path : temporaries) {
        if (path[0] != '\0') {
            (void)unlink(path.data());
        }
    }
    for (const auto& path : temporaries) {
        if (path[0] != '\0') {
            (void)rmdir(path.data());
        }
    }
    (void)std::signal(signal, SIG_DFL);
    (void)std::raise(signal);
}

} // namespace

void removeTemporariesOnStop()
{
    struct sigaction action {
    };
    action.sa_handler = removeTemporariesAndStop;
    action.sa_mask = stopSignalSet();
    for (const int signal : kStopSignals) {
        (void)sigaction(signal, &action, nullptr);
    }
}

void addTemporary(const std::string& path)
{
    for (auto& slot : temporaries) {
        if (slot[0] == '\0' && path.size() < slot.size()) {
            std::memcpy(slot.data(), path.c_str(), path.size() + 1);
            return;
        }
    }
}

void forgetTemporary(const std::string& path)
{
    for (auto& slot : temporaries) {
        if (path == slot.data()) {
            slot[0] = '\0';
        }
    }
}

SignalsWait::SignalsWait() : m_before()
{
    const sigset_t set = stopSignalSet();
    m_blocked = sigprocmask(SIG_BLOCK, &set, &m_before) == 0;
}

// A signal that came meanwhile is delivered now, unless an outer wait holds.
SignalsWait::~SignalsWait()
{
    if (m_blocked) {
        (void)sigprocmask(SIG_SETMASK, &m_before, nullptr);
    }
}
