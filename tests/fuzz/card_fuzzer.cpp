// One input stands for what a card brings: the first byte picks the block
// size a file is read with, the rest is the file's content, the manifest and
// its signature. Streaming the content block by block must give the digests
// of the whole buffer, no manifest line may crash the updater, and no
// signature may crash the check (or be taken: the key is no signer's), a
// signature of the whole input must cover every byte of it, whatever its
// length (no byte more, none less), and no
// rejected name may be shown empty or carry a line the display acts on.
// Without a card no image verifies, so the lines take the rejection paths.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "applicationupdater.h"
#include "cardtext.h"
#include "filesystem.h"
#include "manifestsignature.h"
#include "statuslines.h"

#include <sodium.h>

namespace
{
struct Digests {
    std::string checkSums, sha256;
    std::uint64_t length = 0;
    bool operator!=(const Digests& o) const
    {
        return checkSums != o.checkSums || sha256 != o.sha256 || length != o.length;
    }
};
Digests digestsOf(const std::string& content, std::size_t blockSize)
{
    Digests d;
    std::istringstream input(content);
    (void)streamedDigests(input, blockSize, d.checkSums, d.sha256, d.length);
    return d;
}
const std::vector<std::string> kKey = {std::string(kEd25519KeySize, '\x01')};
const std::string kSeed(kEd25519KeySize, '\x02');
std::string publicKeyOfSeed()
{
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    if (sodium_init() < 0 ||
        crypto_sign_seed_keypair(publicKey, secretKey,
                                 reinterpret_cast<const unsigned char*>(kSeed.data())) != 0) {
        abort();
    }
    return std::string(reinterpret_cast<const char*>(publicKey), sizeof publicKey);
}
bool signatureCoversExactly(const std::string& content)
{
    static const std::string publicKey = publicKeyOfSeed();
    std::string signature;
    return signEd25519(kSeed, content, signature) && verifyEd25519(publicKey, content, signature) &&
           !verifyEd25519(publicKey, content + '\n', signature) &&
           (content.empty() || !verifyEd25519(publicKey, content.substr(1), signature));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t blockSize = data[0];
    const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::istringstream inBlocks(content);
    std::istringstream whole(content);
    if (streamedCheckSums(inBlocks, blockSize) != streamedCheckSums(whole, content.size() + 1) ||
        digestsOf(content, blockSize) != digestsOf(content, content.size() + 1) ||
        anyKeyVerifies(kKey, content, content.substr(0, kEd25519SignatureSize)) ||
        !signatureCoversExactly(content)) {
        abort();
    }

    ApplicationUpdater updater;
    std::istringstream manifest(content);
    for (std::string line; std::getline(manifest, line);) {
        // Zero bytes stay in: the line parsing must cope with them itself.
        StdString text;
        text.assign(line);
        updater.ProcessManifestLine(text);
    }
    for (const StdString& rejected : updater.GetRejectedFileList()) {
        if (rejected.IsEmpty() || rejected.find(statuslines::kFlashComplete) != std::string::npos ||
            rejected.find(statuslines::kFlashFailed) != std::string::npos) {
            abort();
        }
    }
    return 0;
}
