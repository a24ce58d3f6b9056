#include "packagetrust.h"

#include <cerrno>
#include <initializer_list>

#include "Stat.h"
#include "StdString.h"
#include "filesystem.h"
#include "manifestsignature.h"
#include "partitionmap.h"

namespace
{

const char8* const trustedKeysFileName = "/usr/share/lumo/keys/manifest.pub";
const char8* const rootTrustedKeysFileName = "/etc/lumo/keys/manifest.pub";
// A key file is a few PEM blocks.
const std::size_t longestKeyFile = std::size_t{64} * 1024;

// Anything at the path, or any doubt whether something is there.
bool somethingAt(const StdString& path)
{
    Stat status;
    return status.lstat(path) || errno != ENOENT;
}

} // namespace

PackageTrust::Verdict PackageTrust::Judge(const std::string& manifest)
{
    if (!UnitIsSigned()) {
        return Verdict::UnsignedUnit;
    }
    FileSystem fileSystem;
    const StdString signatureFileName =
        PartitionMap::CardFolder() + PartitionMap::SignatureFileName();
    std::optional<std::string> signature;
    if (fileSystem.fileExists(signatureFileName)) {
        signature.emplace();
        (void)fileSystem.readFileBytes(signatureFileName, kEd25519SignatureSize, *signature);
    }
    return Decide(true, TrustedKeys(), signature, manifest);
}

// A signature that could not be read is empty, and no key verifies it.
PackageTrust::Verdict PackageTrust::Decide(bool unitIsSigned, const std::vector<std::string>& keys,
                                           const std::optional<std::string>& signature,
                                           const std::string& manifest)
{
    if (!unitIsSigned) {
        return Verdict::UnsignedUnit;
    }
    if (!signature) {
        return Verdict::SignatureMissing;
    }
    return anyKeyVerifies(keys, manifest, *signature) ? Verdict::Trusted
                                                      : Verdict::SignatureInvalid;
}

bool PackageTrust::UnitIsSigned()
{
    return somethingAt(trustedKeysFileName) || somethingAt(rootTrustedKeysFileName);
}

// A key file that is not made only of well-formed keys gives none.
std::vector<std::string> PackageTrust::TrustedKeys()
{
    FileSystem fileSystem;
    std::vector<std::string> trusted;
    for (const char8* keyFileName : {trustedKeysFileName, rootTrustedKeysFileName}) {
        std::string keyText;
        std::vector<std::string> keys;
        if (fileSystem.readFileBytes(keyFileName, longestKeyFile, keyText) &&
            readEd25519PublicKeys(keyText, keys)) {
            trusted.insert(trusted.end(), keys.begin(), keys.end());
        }
    }
    return trusted;
}
