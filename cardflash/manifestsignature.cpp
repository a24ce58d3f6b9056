#include "manifestsignature.h"

#include <climits>
#include <cstring>
#include <gcrypt.h>

#include "gcryptlibrary.h"

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

const char* const kPublicKeyForm = "(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))";
const char* const kPrivateKeyForm = "(private-key (ecc (curve Ed25519) (flags eddsa) (d %b)))";
const char* const kSignatureForm = "(sig-val (eddsa (r %b) (s %b)))";
const char* const kDataForm = "(data (flags eddsa) (hash-algo sha512) (value %b))";

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

// Owns one libgcrypt S-expression.
class SExpression
{
public:
    SExpression() = default;
    ~SExpression() { gcry_sexp_release(m_handle); }
    SExpression(const SExpression&) = delete;
    SExpression& operator=(const SExpression&) = delete;

    gcry_sexp_t* out() { return &m_handle; }
    gcry_sexp_t get() const { return m_handle; }

private:
    gcry_sexp_t m_handle = nullptr;
};

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

// One 32-byte half of a signature that libgcrypt gave, which may come
// without its leading zero bytes.
bool appendSignatureHalf(gcry_sexp_t signature, const char* name, std::string& out)
{
    gcry_sexp_t token = gcry_sexp_find_token(signature, name, 0);
    if (token == nullptr) {
        return false;
    }
    std::size_t length = 0;
    const char* data = gcry_sexp_nth_data(token, 1, &length);
    const bool fits = data != nullptr && length <= kEd25519KeySize;
    if (fits) {
        out.append(kEd25519KeySize - length, '\0');
        out.append(data, length);
    }
    gcry_sexp_release(token);
    return fits;
}

bool buildData(SExpression& data, const std::string& message)
{
    if (message.size() > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    return gcry_sexp_build(data.out(), nullptr, kDataForm, static_cast<int>(message.size()),
                           message.data()) == 0;
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

bool verifyEd25519(const std::string& publicKey, const std::string& message,
                   const std::string& signature)
{
    if (publicKey.size() != kEd25519KeySize || signature.size() != kEd25519SignatureSize) {
        return false;
    }
    initialiseGcrypt();
    const int half = static_cast<int>(kEd25519KeySize);
    SExpression key;
    SExpression signatureValue;
    SExpression data;
    return gcry_sexp_build(key.out(), nullptr, kPublicKeyForm, half, publicKey.data()) == 0 &&
           gcry_sexp_build(signatureValue.out(), nullptr, kSignatureForm, half, signature.data(),
                           half, signature.data() + half) == 0 &&
           buildData(data, message) &&
           gcry_pk_verify(signatureValue.get(), data.get(), key.get()) == 0;
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
    if (seed.size() != kEd25519KeySize) {
        return false;
    }
    initialiseGcrypt();
    SExpression key;
    SExpression data;
    SExpression signatureValue;
    if (gcry_sexp_build(key.out(), nullptr, kPrivateKeyForm, static_cast<int>(seed.size()),
                        seed.data()) != 0 ||
        !buildData(data, message) ||
        gcry_pk_sign(signatureValue.out(), data.get(), key.get()) != 0) {
        return false;
    }
    if (!appendSignatureHalf(signatureValue.get(), "r", signature) ||
        !appendSignatureHalf(signatureValue.get(), "s", signature)) {
        signature.clear();
        return false;
    }
    return true;
}
