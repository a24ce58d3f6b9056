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

    // What a unit says of itself: its kind and the version of its firmware,
    // each when it has the file.
    struct Identity {
        bool hasCompatible = false;
        std::string compatible;
        bool hasVersion = false;
        std::string version;
    };

    // The package's Compatible and Version lines, the last of each.
    static PackageClaim ClaimOf(const std::string& manifest);

    // "" when this unit takes the package, else the line that refuses it:
    // made for another unit, older than the unit, or a version that cannot
    // be compared with the unit's.
    static StdString Refusal(const PackageClaim& package);
    // The same rules for a unit of the given identity (a recovery root's).
    static StdString RefusalBy(const Identity& unit, const PackageClaim& package);
    // An identity file's line: its first, without the line end.
    static std::string IdentityLine(const std::string& text);

    // Versions as dotted decimal numbers (2.10.0 after 2.9.3; missing parts
    // count as 0, so 2.4 equals 2.4.0): -1, 0 or 1 in `order`. False when
    // either is anything but digits and single dots between them.
    [[nodiscard]] static bool CompareVersions(const std::string& left, const std::string& right,
                                              int& order);
};

#endif
