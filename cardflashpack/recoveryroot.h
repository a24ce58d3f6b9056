#ifndef RECOVERYROOT_H
#define RECOVERYROOT_H

#include <optional>
#include <string>
#include <vector>

#include "unitidentity.h"

// What the boot set's recovery root (recovery.cpio.gz, the kernel's
// initramfs, which runs the card's update when the bootstrap in flash is
// gone) holds of a unit's trust and identity. It checks a package as the
// unit does, with its own etc/lumo/keys/manifest.pub, etc/lumo/compatible
// and etc/lumo/firmware-version.
struct RecoveryRoot {
    // Anything is at its key path: it takes signed packages only.
    bool isSigned = false;
    std::vector<std::string> keys;
    UnitIdentity::Identity identity;
};

// False, with the reason in `error`, for a file that is no gzip-compressed
// cpio archive read to its end.
bool readRecoveryRoot(const std::string& path, RecoveryRoot& root, std::string& error);

// "" when the recovery root takes the package of that manifest and
// signature (none: an unsigned package), else why not, after `subject`.
std::string recoveryRefusal(const std::string& subject, const RecoveryRoot& root,
                            const std::string& manifest,
                            const std::optional<std::string>& signature);

#endif
