#ifndef COMMANDRUNNER_H
#define COMMANDRUNNER_H

#include "StdString.h"
#include "lumo_common.h"

// Runs a command line of the MTD utilities, "UTILITY ARGUMENTS...", and
// gives its wait status, as system() gives it.
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    virtual int32 Run(const StdString& commandLine) = 0;
};

#endif
