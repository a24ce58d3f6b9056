#ifndef MANIFESTWRITER_H
#define MANIFESTWRITER_H

#include <string>
#include <vector>

#include "packedfile.h"

// The manifest's bytes: the version line, the compatible line (with a
// compatible text), then NAME,CHECKSUM_TEXT,sha256:HEX
// for each file in order, every line ended by a line feed. These are also
// the bytes that are signed.
std::string manifestText(const std::string& version, const std::string& compatible,
                         const std::vector<PackedFile>& files);

#endif
