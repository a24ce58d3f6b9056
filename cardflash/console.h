#ifndef CONSOLE_H
#define CONSOLE_H

#include <string>

#include "lumo_common.h"

// Every line goes out flushed: a reader on a pipe must see it before the
// next external program starts writing to the same output.
void printLine(const std::string& text);
void printLine(int32 number);

#endif
