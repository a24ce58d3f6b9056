#ifndef PACKAGETRUST_H
#define PACKAGETRUST_H

#include <optional>
#include <string>
#include <vector>

// Whether the unit takes a package's manifest. A unit is a signed one when
// anything is at either key path, even a broken link, or when it cannot be
// told whether something is there: a key file that cannot be read refuses
// packages, never lets unsigned ones in. The root file system's key
// outlives a damaged application file system.
class PackageTrust
{
public:
    enum class Verdict { UnsignedUnit, Trusted, SignatureMissing, SignatureInvalid };

    // The manifest's exact bytes, against the card's signature file.
    [[nodiscard]] static Verdict Judge(const std::string& manifest);
    // The same decision for any unit: whether it is a signed one, the keys
    // it trusts, and the card's signature file (none when it is not there,
    // empty when it cannot be read).
    [[nodiscard]] static Verdict Decide(bool unitIsSigned, const std::vector<std::string>& keys,
                                        const std::optional<std::string>& signature,
                                        const std::string& manifest);
    [[nodiscard]] static bool UnitIsSigned();

private:
    static std::vector<std::string> TrustedKeys();
};

#endif
