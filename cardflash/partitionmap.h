#ifndef PARTITIONMAP_H
#define PARTITIONMAP_H

#include <vector>

#include "StdString.h"

// The update package's fixed names: where the card and its images are, the
// files on the card, the image that each flash partition takes, and the
// recovery boot set that the processor boots from the card.
class PartitionMap
{
public:
    static StdString CardFolder();
    static StdString ImageFolder();
    static StdString ManifestFileName();
    static StdString SignatureFileName();
    static StdString TarBallFileName();
    // The unit's own bootstrap, kept on the card while an update that
    // brings none has it erased.
    static StdString KeptBootstrapFileName();
    static StdString VersionLine();
    // The line that names the kind of unit the package is for.
    static StdString CompatibleLine();

    // The partition ("/dev/mtdN") that the image is written to; "" for a
    // name that is no image.
    static StdString DeviceFor(const StdString& imageName);
    static std::vector<StdString> ImageNames();
    static StdString BootstrapImage();
    // The partition that the unlock and lock commands name.
    static StdString LockedDevice();

    // The boot set's files, relative to the card's root.
    static std::vector<StdString> CardBootSet();
    // The boot set's root file system, which checks the package as the
    // unit does.
    static StdString CardRecoveryRoot();
    // The name of a boot-set file's manifest line: "boot:zImage" for
    // "boot/zImage". It holds no separator, so units that do not know
    // boot-set lines skip it like any name that is no image.
    static StdString BootSetLineName(const StdString& cardName);
    static bool IsBootSetLine(const StdString& name);
};

#endif
