#include "filesystem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gcrypt.h>
#include <initializer_list>
#include <memory>
#include <new>

#include "gcryptlibrary.h"
#include "privatefile.h"

namespace
{

const char8* const kNothingToDigest = "EMPTY";
const char8* const kDigestSeparator = "-";
const char kErasedByte = '\xff';

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

// One libgcrypt hash context running the given algorithms over the same bytes.
class Digest
{
public:
    explicit Digest(std::initializer_list<int> algorithms)
    {
        initialiseGcrypt();
        if (gcry_md_open(&m_handle, 0, 0) != 0) {
            m_handle = nullptr;
            return;
        }
        for (const int algorithm : algorithms) {
            gcry_md_enable(m_handle, algorithm);
        }
    }
    ~Digest()
    {
        if (m_handle != nullptr) {
            gcry_md_close(m_handle);
        }
    }
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    bool isReady() const { return m_handle != nullptr; }
    void write(const char* data, std::size_t length) { gcry_md_write(m_handle, data, length); }
    std::string hexOf(int algorithm)
    {
        return toHex(gcry_md_read(m_handle, algorithm), gcry_md_get_algo_dlen(algorithm));
    }

private:
    gcry_md_hd_t m_handle = nullptr;
};

// The checksum text's view of a stream of blocks: line feeds left out,
// nothing from the first zero byte on.
class CheckSumText
{
public:
    bool isReady() const { return m_digest.isReady(); }
    bool isComplete() const { return m_zeroReached; }

    // Digests what the text covers of block[0, length); the block is used
    // as scratch space.
    void add(char* block, std::size_t length)
    {
        const void* zero = std::memchr(block, '\0', length);
        if (zero != nullptr) {
            m_zeroReached = true;
            length = static_cast<const char*>(zero) - block;
        }
        length = dropLineFeeds(block, length);
        m_anythingRead = m_anythingRead || m_zeroReached || length > 0;
        m_digest.write(block, length);
    }

    std::string text()
    {
        if (!m_anythingRead) {
            return kNothingToDigest;
        }
        return m_digest.hexOf(GCRY_MD_SHA1) + kDigestSeparator + m_digest.hexOf(GCRY_MD_MD5);
    }

private:
    Digest m_digest{GCRY_MD_SHA1, GCRY_MD_MD5};
    bool m_anythingRead = false;
    bool m_zeroReached = false;
};

std::unique_ptr<char[]> newBlock(std::size_t blockSize)
{
    return std::unique_ptr<char[]>(new (std::nothrow) char[blockSize]);
}

std::size_t readBlock(std::istream& input, char* block, std::size_t size)
{
    input.read(block, static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(input.gcount());
}

bool allErased(const char* bytes, std::size_t length)
{
    return std::all_of(bytes, bytes + length, [](char byte) { return byte == kErasedByte; });
}

} // namespace

std::string streamedCheckSums(std::istream& input, std::size_t blockSize)
{
    blockSize = std::max<std::size_t>(blockSize, 1);
    CheckSumText checkSums;
    std::unique_ptr<char[]> block = newBlock(blockSize);
    if (!checkSums.isReady() || block == nullptr) {
        return kNothingToDigest;
    }
    while (!checkSums.isComplete() && input) {
        checkSums.add(block.get(), readBlock(input, block.get(), blockSize));
    }
    return checkSums.text();
}

// The SHA-256 sees every byte before the checksum text squeezes the block.
bool streamedDigests(std::istream& input, std::size_t blockSize, std::string& checkSums,
                     std::string& sha256, std::uint64_t& length, PrivateFile* copy,
                     bool sha256Wanted)
{
    blockSize = std::max<std::size_t>(blockSize, 1);
    CheckSumText checkSumText;
    Digest whole{GCRY_MD_SHA256};
    std::unique_ptr<char[]> block = newBlock(blockSize);
    checkSums = kNothingToDigest;
    sha256.clear();
    length = 0;
    if (!checkSumText.isReady() || !whole.isReady() || block == nullptr) {
        return false;
    }
    while (input) {
        const std::size_t count = readBlock(input, block.get(), blockSize);
        if (copy != nullptr && !copy->write(block.get(), count)) {
            return false;
        }
        if (sha256Wanted) {
            whole.write(block.get(), count);
        }
        length += count;
        if (!checkSumText.isComplete()) {
            checkSumText.add(block.get(), count);
        }
    }
    if (input.bad()) {
        return false;
    }
    checkSums = checkSumText.text();
    if (sha256Wanted) {
        sha256 = whole.hexOf(GCRY_MD_SHA256);
    }
    return true;
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

bool FileSystem::getFileDigests(std::string fileName, std::string& checkSums, std::string& sha256,
                                std::uint64_t& length, PrivateFile* copy, bool sha256Wanted)
{
    std::ifstream input(fileName, std::ios::in | std::ios::binary);
    if (!input.is_open()) {
        checkSums = joinDigests(getSHA1SUM(kCannotOpenFileText), getMD5SUM(kCannotOpenFileText));
        sha256.clear();
        length = 0;
        return false;
    }
    return streamedDigests(input, kCheckSumBlockSize, checkSums, sha256, length, copy,
                           sha256Wanted);
}

// One pass over the whole partition: the image's bytes are digested, every
// byte behind them must be as the erase left it. Only what the image's line
// checks is worked out: the SHA-256 costs the unit's processor dearly.
bool FileSystem::getWrittenDigest(std::string device, std::uint64_t length, bool wholeImageDigest,
                                  std::string& digest)
{
    digest.clear();
    std::ifstream input(device, std::ios::in | std::ios::binary);
    Digest sha256{GCRY_MD_SHA256};
    CheckSumText checkSums;
    std::unique_ptr<char[]> block = newBlock(kCheckSumBlockSize);
    if (!input.is_open() || !sha256.isReady() || !checkSums.isReady() || block == nullptr) {
        return false;
    }
    std::uint64_t read = 0;
    bool erasedBehind = true;
    while (erasedBehind && input) {
        const std::size_t count = readBlock(input, block.get(), kCheckSumBlockSize);
        const std::size_t image = static_cast<std::size_t>(
            std::min<std::uint64_t>(count, length - std::min(read, length)));
        erasedBehind = allErased(block.get() + image, count - image);
        if (wholeImageDigest) {
            sha256.write(block.get(), image);
        } else if (!checkSums.isComplete()) {
            checkSums.add(block.get(), image);
        }
        read += count;
    }
    if (!erasedBehind || input.bad() || read < length) {
        return false;
    }
    digest = wholeImageDigest ? sha256.hexOf(GCRY_MD_SHA256) : checkSums.text();
    return true;
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
