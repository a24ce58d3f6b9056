#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <csignal>
#include <string>

// SIGINT and SIGTERM still stop the packer, but first remove the temporary
// files it made in the card folder. The one place that handles signals.

// Installs the handlers; once, before any temporary file is made.
void removeTemporariesOnStop();

// A temporary file (or a folder made for the package) the handlers remove,
// from creation to rename or removal.
// Each call must be made while the signals wait (SignalsWait).
void addTemporary(const std::string& path);
void forgetTemporary(const std::string& path);

// While one lives, SIGINT and SIGTERM wait: the card folder is never left
// half-changed, and the list of temporaries never half-written.
class SignalsWait
{
public:
    SignalsWait();
    ~SignalsWait();
    SignalsWait(const SignalsWait&) = delete;
    SignalsWait& operator=(const SignalsWait&) = delete;

private:
    sigset_t m_before;
    bool m_blocked;
};

#endif
