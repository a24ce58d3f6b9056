#include "manifestsignature.h"

#include <cstring>
#include <sodium.h>

static_assert(kEd25519KeySize == crypto_sign_PUBLICKEYBYTES &&
                  kEd25519KeySize == crypto_sign_SEEDBYTES &&
                  kEd25519SignatureSize == crypto_sign_BYTES,
              "the sizes of libsodium's Ed25519");

namespace
{

const char* const kPemBegin = "-----BEGIN ";
const char* const kPemEnd = "-----END ";
const char* const kPemDashes = "-----";
const char* const kPublicKeyLabel = "PUBLIC KEY";
const char* const kPrivateKeyLabel = "PRIVATE KEY";
const char* const kWhiteSpace = " \t\r\n";

// The DER that precedes the raw key: SubjectPublicKeyInfo with the Ed25519
// algorithm identifier, and PKCS#8 version 0 with the same identifier.
const unsigned char kPublicKeyPrefix[] = {0x30, 0x2a, 0x30, 0x05, 0x06, 0x03,
                                          0x2b, 0x65, 0x70, 0x03, 0x21, 0x00};
const unsigned char kPrivateKeyPrefix[] = {0x30, 0x2e, 0x02, 0x01, 0x00, 0x30, 0x05, 0x06,
                                           0x03, 0x2b, 0x65, 0x70, 0x04, 0x22, 0x04, 0x20};

const int kBase64Invalid = -1;
const int kBase64Padding = -2;

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return c == '=' ? kBase64Padding : kBase64Invalid;
}

// The bodies of the PEM blocks, decoded, when every block carries `label`
// and nothing but white space lies between them.
bool readPemBlocks(const std::string& text, const std::string& label,
                   std::vector<std::string>& ders)
{
    const std::string begin = kPemBegin + label + kPemDashes;
    const std::string end = kPemEnd + label + kPemDashes;
    ders.clear();
    std::size_t position = text.find_first_not_of(kWhiteSpace);
    while (position != std::string::npos) {
        if (text.compare(position, begin.size(), begin) != 0) {
            return false;
        }
        const std::size_t bodyStart = position + begin.size();
        const std::size_t bodyEnd = text.find(end, bodyStart);
        std::string der;
        if (bodyEnd == std::string::npos ||
            !decodeBase64(text.substr(bodyStart, bodyEnd - bodyStart), der)) {
            return false;
        }
        ders.push_back(der);
        position = text.find_first_not_of(kWhiteSpace, bodyEnd + end.size());
    }
    return !ders.empty();
}

// The raw key that follows `prefix`, when the DER is exactly the prefix and a key.
bool rawKeyAfter(const std::string& der, const unsigned char* prefix, std::size_t prefixSize,
                 std::string& key)
{
    if (der.size() != prefixSize + kEd25519KeySize ||
        std::memcmp(der.data(), prefix, prefixSize) != 0) {
        return false;
    }
    key = der.substr(prefixSize);
    return true;
}

// libsodium picks its implementations once, before its first use. It
// fails only when the system gives it no randomness, which neither
// verifying nor Ed25519's deterministic signing needs: such a failure
// refuses every signature all the same.
bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

const unsigned char* bytesOf(const std::string& text)
{
    return reinterpret_cast<const unsigned char*>(text.data());
}

} // namespace

bool decodeBase64(const std::string& text, std::string& bytes)
{
    bytes.clear();
    unsigned int bits = 0;
    int bitCount = 0;
    std::size_t symbols = 0;
    std::size_t padding = 0;
    for (const char c : text) {
        if (std::strchr(kWhiteSpace, c) != nullptr && c != '\0') {
            continue;
        }
        const int value = base64Value(c);
        if (value == kBase64Invalid || (padding > 0 && value != kBase64Padding)) {
            bytes.clear();
            return false;
        }
        ++symbols;
        if (value == kBase64Padding) {
            ++padding;
            continue;
        }
        bits = ((bits << 6U) | static_cast<unsigned int>(value)) & 0xffffU;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            bytes += static_cast<char>((bits >> static_cast<unsigned int>(bitCount)) & 0xffU);
        }
    }
    if (symbols % 4 != 0 || padding > 2) {
        bytes.clear();
        return false;
    }
    return true;
}

bool readEd25519PublicKeys(const std::string& pemText, std::vector<std::string>& keys)
{
    keys.clear();
    std::vector<std::string> ders;
    if (!readPemBlocks(pemText, kPublicKeyLabel, ders)) {
        return false;
    }
    for (const std::string& der : ders) {
        std::string key;
        if (!rawKeyAfter(der, kPublicKeyPrefix, sizeof kPublicKeyPrefix, key)) {
            keys.clear();
            return false;
        }
        keys.push_back(key);
    }
    return true;
}

bool readEd25519PrivateKey(const std::string& pemText, std::string& seed)
{
    seed.clear();
    std::vector<std::string> ders;
    return readPemBlocks(pemText, kPrivateKeyLabel, ders) && ders.size() == 1 &&
           rawKeyAfter(ders.front(), kPrivateKeyPrefix, sizeof kPrivateKeyPrefix, seed);
}

// The whole message goes in with its 64-bit length: nothing of it is cut,
// wrapped or parsed on the way.
bool verifyEd25519(const std::string& publicKey, const std::string& message,
                   const std::string& signature)
{
    return publicKey.size() == kEd25519KeySize && signature.size() == kEd25519SignatureSize &&
           sodiumReady() &&
           crypto_sign_verify_detached(bytesOf(signature), bytesOf(message), message.size(),
                                       bytesOf(publicKey)) == 0;
}

bool anyKeyVerifies(const std::vector<std::string>& publicKeys, const std::string& message,
                    const std::string& signature)
{
    for (const std::string& key : publicKeys) {
        if (verifyEd25519(key, message, signature)) {
            return true;
        }
    }
    return false;
}

bool signEd25519(const std::string& seed, const std::string& message, std::string& signature)
{
    signature.clear();
    if (seed.size() != kEd25519KeySize || !sodiumReady()) {
        return false;
    }
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    unsigned char signatureBytes[crypto_sign_BYTES];
    const bool made = crypto_sign_seed_keypair(publicKey, secretKey, bytesOf(seed)) == 0 &&
                      crypto_sign_detached(signatureBytes, nullptr, bytesOf(message),
                                           message.size(), secretKey) == 0;
    sodium_memzero(secretKey, sizeof secretKey);
    if (made) {
        signature.assign(reinterpret_cast<const char*>(signatureBytes), sizeof signatureBytes);
    }
    return made;
}
