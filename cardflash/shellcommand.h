#ifndef SHELLCOMMAND_H
#define SHELLCOMMAND_H

#include "StdString.h"
#include "lumo_common.h"

// Runs the command through the system shell and waits for it; returns what
// system() returned, undecoded.
int32 runShellCommand(const StdString& command);

// Runs the command with its standard output captured and returns at most
// the first 8 characters of that output ("" on any failure).
StdString getStdOut(StdString processToGrab);

#endif
