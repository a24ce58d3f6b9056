#include "unitidentity.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "Stat.h"
#include "cardtext.h"
#include "filesystem.h"
#include "packagemanifest.h"
#include "partitionmap.h"

namespace
{

const char8* const compatibleFileName = "/etc/lumo/compatible";
const char8* const firmwareVersionFileName = "/etc/lumo/firmware-version";
const std::size_t longestIdentityLine = 256;
const char8* const anotherUnitMessage = "PACKAGE FOR ANOTHER UNIT: ";
const char8* const olderMessage = "PACKAGE OLDER THAN THE UNIT: ";
const char8* const olderSeparator = " < ";
const char8* const notComparableMessage = "PACKAGE VERSION NOT COMPARABLE: ";
const char8* const decimalDigits = "0123456789";

// The first line of an identity file, without its line end; false when no
// file is there. A file that is there but cannot be read gives "", which
// no package matches.
bool identityLine(const char8* fileName, std::string& line)
{
    Stat status;
    if (!status.lstat(fileName) && errno == ENOENT) {
        return false;
    }
    FileSystem fileSystem;
    line = UnitIdentity::IdentityLine(fileSystem.readFirstLine(fileName, longestIdentityLine));
    return true;
}

// The numbers of a dotted decimal version, each without its leading zeros;
// false for "", "2.", ".4", "2..4" or anything but digits and dots.
bool versionParts(const std::string& version, std::vector<std::string>& parts)
{
    parts.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = version.find('.', start);
        const std::string part =
            version.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.find_first_not_of(decimalDigits) != std::string::npos) {
            return false;
        }
        const std::size_t firstSignificant = part.find_first_not_of('0');
        parts.push_back(firstSignificant == std::string::npos ? std::string()
                                                              : part.substr(firstSignificant));
        if (dot == std::string::npos) {
            return true;
        }
        start = dot + 1;
    }
}

// Two numbers without leading zeros, however long.
int compareNumbers(const std::string& left, const std::string& right)
{
    if (left.size() != right.size()) {
        return left.size() < right.size() ? -1 : 1;
    }
    const int order = left.compare(right);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

} // namespace

bool UnitIdentity::CompareVersions(const std::string& left, const std::string& right, int& order)
{
    std::vector<std::string> leftParts;
    std::vector<std::string> rightParts;
    if (!versionParts(left, leftParts) || !versionParts(right, rightParts)) {
        return false;
    }
    order = 0;
    for (std::size_t i = 0; order == 0 && i < std::max(leftParts.size(), rightParts.size()); ++i) {
        order = compareNumbers(i < leftParts.size() ? leftParts[i] : std::string(),
                               i < rightParts.size() ? rightParts[i] : std::string());
    }
    return true;
}

UnitIdentity::PackageClaim UnitIdentity::ClaimOf(const std::string& manifest)
{
    PackageClaim claim;
    ManifestReader reader(manifest);
    ManifestLine entry;
    while (reader.Next(entry)) {
        if (entry.name == PartitionMap::CompatibleLine()) {
            claim.hasCompatible = true;
            claim.compatible = entry.value;
        } else if (entry.name == PartitionMap::VersionLine()) {
            claim.hasVersion = true;
            claim.version = entry.value;
        }
    }
    return claim;
}

StdString UnitIdentity::Refusal(const PackageClaim& package)
{
    Identity unit;
    unit.hasCompatible = identityLine(compatibleFileName, unit.compatible);
    unit.hasVersion = identityLine(firmwareVersionFileName, unit.version);
    return RefusalBy(unit, package);
}

StdString UnitIdentity::RefusalBy(const Identity& unit, const PackageClaim& package)
{
    if (unit.hasCompatible &&
        (!package.hasCompatible || package.compatible != unit.compatible.c_str())) {
        return StdString(anotherUnitMessage) + shownCardName(package.compatible).c_str();
    }
    int order = 0;
    if (!unit.hasVersion) {
        return StdString();
    }
    if (!package.hasVersion || !CompareVersions(package.version, unit.version, order)) {
        return StdString(notComparableMessage) + shownCardName(package.version).c_str();
    }
    if (order < 0) {
        return StdString(olderMessage) + shownCardName(package.version).c_str() + olderSeparator +
               shownCardName(unit.version).c_str();
    }
    return StdString();
}

std::string UnitIdentity::IdentityLine(const std::string& text)
{
    std::string line = text.substr(0, std::min(text.find('\n'), longestIdentityLine));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}
