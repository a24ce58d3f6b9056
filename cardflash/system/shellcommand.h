#ifndef SHELLCOMMAND_H
#define SHELLCOMMAND_H

#include <string>
#include <vector>

#include "StdString.h"
#include "lumo_common.h"

// Runs the command through the system shell and waits for it; returns what
// system() returned, undecoded.
int32 runShellCommand(const StdString& command);

// Runs the command with its standard output captured and returns at most
// the first 8 characters of that output ("" on any failure).
StdString getStdOut(StdString processToGrab);

// Starts the program arguments[0] (a path, not searched for) with these
// arguments, without a shell, and waits for it; returns its wait status as
// system() would give it: 127 as exit status when it could not be started.
int32 runProgram(const std::vector<std::string>& arguments);

// The same, with the program's standard output captured in `output` (at
// most `limit` bytes are kept); true when it exited with status 0.
bool runProgramForOutput(const std::vector<std::string>& arguments, std::size_t limit,
                         std::string& output);

#endif
