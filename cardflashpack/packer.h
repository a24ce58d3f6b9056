#ifndef PACKER_H
#define PACKER_H

#include "packcommandline.h"

// Makes the package that a request asks for and returns the exit status:
// 0 when CARD_DIR holds it, 1 when it was refused (CARD_DIR then is as it
// was). Every input is checked before the first byte is written.
int runPack(const PackRequest& request);

#endif
