#include "filesystem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gcrypt.h>
#include <memory>
#include <new>

namespace
{

const char8* const kNothingToDigest = "EMPTY";
const char8* const kDigestSeparator = "-";

// libgcrypt must be initialised once before anything else uses it. Nothing
// secret is digested here, so the secure memory pool is not needed.
void initialiseGcrypt()
{
    static const bool initialised = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)initialised;
}

std::string toHex(const unsigned char* digest, unsigned int length)
{
    std::string text(std::size_t{2} * length, '\0');
    for (unsigned int i = 0; i < length; ++i) {
        (void)std::snprintf(&text[std::size_t{2} * i], 3, "%02x", digest[i]);
    }
    return text;
}

std::string joinDigests(const StdString& sha1Value, const StdString& md5Value)
{
    std::string combinedCheckSums(sha1Value);
    combinedCheckSums += kDigestSeparator;
    combinedCheckSums.append(md5Value);
    return combinedCheckSums;
}

char* newText(const char8* text)
{
    char* copy = new (std::nothrow) char[std::strlen(text) + 1];
    if (copy != nullptr) {
        std::strcpy(copy, text);
    }
    return copy;
}

// Squeezes the line feeds out of buffer[0, length) and returns the length left.
std::size_t dropLineFeeds(char* buffer, std::size_t length)
{
    char* out = buffer;
    const char* in = buffer;
    const char* const end = buffer + length;
    while (in < end) {
        const char* lineFeed = static_cast<const char*>(std::memchr(in, '\n', end - in));
        const char* stop = lineFeed != nullptr ? lineFeed : end;
        const std::size_t run = stop - in;
        if (out != in) {
            std::memmove(out, in, run);
        }
        out += run;
        in = lineFeed != nullptr ? lineFeed + 1 : end;
    }
    return out - buffer;
}

// SHA-1 and MD5 over the same bytes in one pass.
class DualDigest
{
public:
    DualDigest()
    {
        initialiseGcrypt();
        if (gcry_md_open(&m_handle, 0, 0) != 0) {
            m_handle = nullptr;
            return;
        }
        gcry_md_enable(m_handle, GCRY_MD_SHA1);
        gcry_md_enable(m_handle, GCRY_MD_MD5);
    }
    ~DualDigest()
    {
        if (m_handle != nullptr) {
            gcry_md_close(m_handle);
        }
    }
    DualDigest(const DualDigest&) = delete;
    DualDigest& operator=(const DualDigest&) = delete;

    bool isReady() const { return m_handle != nullptr; }
    void write(const char* data, std::size_t length) { gcry_md_write(m_handle, data, length); }
    std::string combinedText()
    {
        return hexOf(GCRY_MD_SHA1) + kDigestSeparator + hexOf(GCRY_MD_MD5);
    }

private:
    std::string hexOf(int algorithm)
    {
        return toHex(gcry_md_read(m_handle, algorithm), gcry_md_get_algo_dlen(algorithm));
    }

    gcry_md_hd_t m_handle = nullptr;
};

} // namespace

std::string streamedCheckSums(std::istream& input, std::size_t blockSize)
{
    DualDigest digest;
    std::unique_ptr<char[]> block(new (std::nothrow) char[std::max<std::size_t>(blockSize, 1)]);
    if (!digest.isReady() || block == nullptr) {
        return kNothingToDigest;
    }
    bool anythingRead = false;
    bool zeroReached = false;
    while (!zeroReached && input) {
        input.read(block.get(), static_cast<std::streamsize>(std::max<std::size_t>(blockSize, 1)));
        std::size_t length = static_cast<std::size_t>(input.gcount());
        const void* zero = std::memchr(block.get(), '\0', length);
        if (zero != nullptr) {
            zeroReached = true;
            length = static_cast<const char*>(zero) - block.get();
        }
        length = dropLineFeeds(block.get(), length);
        anythingRead = anythingRead || zeroReached || length > 0;
        digest.write(block.get(), length);
    }
    return anythingRead ? digest.combinedText() : kNothingToDigest;
}

std::string FileSystem::getCheckSums(std::string stringToCheck)
{
    if (fileExists(stringToCheck)) {
        return getFileCheckSums(stringToCheck);
    }
    if (stringToCheck.empty()) {
        return kNothingToDigest;
    }
    return joinDigests(getSHA1SUM(stringToCheck), getMD5SUM(stringToCheck));
}

std::string FileSystem::getFileCheckSums(std::string fileName)
{
    std::ifstream input(fileName, std::ios::in | std::ios::binary);
    if (!input.is_open()) {
        // Digested as a text, as the content of such a file has always been.
        return joinDigests(getSHA1SUM(kCannotOpenFileText), getMD5SUM(kCannotOpenFileText));
    }
    return streamedCheckSums(input, kCheckSumBlockSize);
}

StdString FileSystem::getSHA1SUM(std::string stringToCheck)
{
    char* digestText = calculateCheckSum(&stringToCheck[0], GCRY_MD_SHA1);
    StdString retVal(digestText != nullptr ? digestText : kNothingToDigest);
    delete[] digestText;
    return retVal;
}

StdString FileSystem::getMD5SUM(std::string stringToCheck)
{
    char* digestText = calculateCheckSum(&stringToCheck[0], GCRY_MD_MD5);
    StdString retVal(digestText != nullptr ? digestText : kNothingToDigest);
    delete[] digestText;
    return retVal;
}

// The result is allocated with new[] and belongs to the caller.
char* FileSystem::calculateCheckSum(char* pStringToEvaluate, int sumTypeIdentifier)
{
    initialiseGcrypt();
    // Only MD5 and SHA-1 are ever asked for; libgcrypt aborts on an unknown one.
    const bool knownAlgorithm =
        sumTypeIdentifier == GCRY_MD_MD5 || sumTypeIdentifier == GCRY_MD_SHA1;
    if (pStringToEvaluate == nullptr || !knownAlgorithm) {
        return newText(kNothingToDigest);
    }
    const std::size_t msgLength = std::strlen(pStringToEvaluate);
    const unsigned int hashLength = gcry_md_get_algo_dlen(sumTypeIdentifier);
    unsigned char hash[64];
    char* pOutputString = new (std::nothrow) char[2 * hashLength + 1];
    if (pOutputString == nullptr) {
        return newText(kNothingToDigest);
    }
    gcry_md_hash_buffer(sumTypeIdentifier, hash, pStringToEvaluate, msgLength);
    const std::string digestText = toHex(hash, hashLength);
    std::memcpy(pOutputString, digestText.c_str(), digestText.size() + 1);
    return pOutputString;
}
