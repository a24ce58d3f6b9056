#ifndef UNITIDENTITY_H
#define UNITIDENTITY_H

#include <string>

#include "StdString.h"

// Which packages this unit takes, by the identity in its root file system,
// where an update of the application file system cannot change it:
// /etc/lumo/compatible (the kind of unit) and /etc/lumo/firmware-version
// (the firmware of this root file system). A unit without them takes any
// package, as units always did.
class UnitIdentity
{
public:
    // What the package's manifest says of itself: its Compatible and Version
    // lines (the last of each), when it has them.
    struct PackageClaim {
        bool hasCompatible = false;
        StdString compatible;
        bool hasVersion = false;
        StdString version;
    };

    // "" when the unit takes the package, else the line that refuses it:
    // made for another unit, older than the unit, or a version that cannot
    // be compared with the unit's.
    static StdString Refusal(const PackageClaim& package);

    // Versions as dotted decimal numbers (2.10.0 after 2.9.3; missing parts
    // count as 0, so 2.4 equals 2.4.0): -1, 0 or 1 in `order`. False when
    // either is anything but digits and single dots between them.
    [[nodiscard]] static bool CompareVersions(const std::string& left, const std::string& right,
                                              int& order);
};

#endif
