#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "lumo_common.h"

// Acts on every recognised argument in command-line order and returns the
// exit status of the tool.
int32 runCardflash(int32 argc, char8** argv);

#endif
