#ifndef PACKEDFILE_H
#define PACKEDFILE_H

#include <cstdint>
#include <string>

// One file as its manifest line describes it.
struct PackedFile {
    std::string name;
    std::string path;
    std::string checkSums;
    std::string sha256;
    std::uint64_t length = 0;
    // How many leading bytes the checksum text covers: those before the
    // first zero byte.
    std::uint64_t legacyCoverage = 0;
};

// Digests the file at `path` with the unit's own code. False when it is no
// regular file or cannot be read.
bool describeFile(const std::string& name, const std::string& path, PackedFile& file);

// True when units that check only the checksum text see less than the file.
bool hasWeakLegacyText(const PackedFile& file);
std::string weakLegacyTextWarning(const PackedFile& file);

#endif
