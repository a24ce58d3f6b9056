#ifndef PACKINPUTS_H
#define PACKINPUTS_H

#include <string>
#include <vector>

#include "packedfile.h"
#include "partitionlayout.h"

// The checks that every input passes before anything is written, each
// false with the reason in `error` for what the unit would refuse or
// silently skip.
bool checkVersion(const std::string& version, std::string& error);
bool checkCompatible(const std::string& compatible, std::string& error);
// Whether a unit that knows its own firmware version can order this one
// against it (dotted decimal numbers).
bool unitsCanCompare(const std::string& version);
bool checkCardDir(const std::string& cardDir, std::string& error);
// The images in the order given, named by their base names; none empty,
// and each within its partition when the layout is given.
bool describeImages(const std::vector<std::string>& imageFiles, const PartitionLayout& layout,
                    std::vector<PackedFile>& images, std::string& error);

#endif
