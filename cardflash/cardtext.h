#ifndef CARDTEXT_H
#define CARDTEXT_H

#include <string>

#include "lumo_common.h"

// Text that comes from the card (a version, an archive's message) as the
// tool prints it: a last line inside it is broken by a '?' in place of its
// blank.
std::string shownCardText(std::string text);

// A name from the card as the tool prints it: printable characters only, at
// most 64 of them, and no last line inside it.
std::string shownCardName(const std::string& name);

#endif
