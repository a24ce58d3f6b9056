#ifndef CARDCHECK_H
#define CARDCHECK_H

#include "packcommandline.h"

// cardflash-pack --check: reads a card folder as the unit does, through the
// unit's own code (the manifest reader, the signature decision, the digests
// and their comparison, the identity rules), and prints one line for each
// file and a verdict. Without --pubkey it checks as an unsigned unit. The
// card may be hostile: nothing on it is trusted, and every text from it is
// printed made safe. Returns the exit status: 0 only when the unit takes
// the card and its boot set.
int checkCard(const PackRequest& request);

#endif
