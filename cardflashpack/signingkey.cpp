#include "signingkey.h"

#include "filesystem.h"
#include "manifestsignature.h"
#include "packmessages.h"

namespace
{

// A PEM private key is a few hundred bytes; anything far larger is no key.
const std::size_t kLongestKeyFile = std::size_t{64} * 1024;

} // namespace

bool readSigningKey(const std::string& keyFile, std::string& seed, std::string& error)
{
    FileSystem fileSystem;
    std::string pemText;
    if (!fileSystem.readFileBytes(keyFile, kLongestKeyFile, pemText) ||
        !readEd25519PrivateKey(pemText, seed)) {
        error = keyFile + packmessages::kNotEd25519Key;
        return false;
    }
    return true;
}

bool signManifest(const std::string& seed, const std::string& manifest, std::string& signature,
                  std::string& error)
{
    if (!signEd25519(seed, manifest, signature)) {
        error = packmessages::kSigningFailed;
        return false;
    }
    return true;
}
