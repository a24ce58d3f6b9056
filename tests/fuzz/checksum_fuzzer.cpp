// The checksum text of a file is computed block by block; it must equal the
// text of the same bytes digested in memory in one piece, whatever the
// content and whatever the block size.
//
// Input: one byte choosing the range of the block size, two bytes for the
// block size within it, then the content.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gcrypt.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "FuzzSupport.h"
#include "filesystem.h"

namespace
{

std::string g_contentFile;

// The tool's own in-memory route: the content as openFile returns it, given
// to the one-shot digests.
std::string inMemoryText(const std::string& content)
{
    const std::string text = withoutLineFeeds(content);
    if (text.empty()) {
        return "EMPTY";
    }
    FileSystem fileSystem;
    return fileSystem.getSHA1SUM(text) + "-" + fileSystem.getMD5SUM(text);
}

std::size_t blockSizeFrom(const uint8_t* data)
{
    const std::size_t value = static_cast<std::size_t>(data[1]) << 8 | data[2];
    switch (data[0] % 4) {
    case 0:
        return 1 + value % 16;
    case 1:
        return 1 + value % 4096;
    case 2:
        return 1 + value;
    default:
        return kCheckSumBlockSize;
    }
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        std::fprintf(stderr, "checksum_fuzzer: cannot write %s\n", path.c_str());
        std::abort();
    }
}

void expectEqual(const char* what, const std::string& actual, const std::string& expected,
                 std::size_t blockSize)
{
    if (actual != expected) {
        std::fprintf(
            stderr,
            "checksum_fuzzer: %s differs (block size %zu)\n  got:      %s\n  expected: %s\n", what,
            blockSize, actual.c_str(), expected.c_str());
        std::abort();
    }
}

void expectWellFormed(const std::string& text)
{
    if (text == "EMPTY") {
        return;
    }
    bool wellFormed = text.size() == 73 && text[40] == '-';
    for (std::size_t i = 0; wellFormed && i < text.size(); ++i) {
        wellFormed = i == 40 || std::strchr("0123456789abcdef", text[i]) != nullptr;
    }
    if (!wellFormed) {
        std::fprintf(stderr, "checksum_fuzzer: malformed checksum text: %s\n", text.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gcry_check_version(nullptr);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/checksum_fuzzer.XXXXXX";
    const int fd = mkstemp(&pattern[0]);
    if (fd < 0) {
        std::perror("checksum_fuzzer: mkstemp");
        std::abort();
    }
    close(fd);
    g_contentFile = pattern;
    std::atexit([] { unlink(g_contentFile.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 3) {
        return 0;
    }
    const std::size_t blockSize = blockSizeFrom(data);
    const std::string content(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::string expected = definedCheckSumText(content);
    expectWellFormed(expected);

    expectEqual("in-memory text", inMemoryText(content), expected, blockSize);

    std::istringstream stream(content);
    expectEqual("streamed text", streamedCheckSums(stream, blockSize), expected, blockSize);

    writeFile(g_contentFile, content);
    FileSystem fileSystem;
    expectEqual("file text", fileSystem.getFileCheckSums(g_contentFile), expected,
                kCheckSumBlockSize);
    expectEqual("getCheckSums of the file", fileSystem.getCheckSums(g_contentFile), expected,
                kCheckSumBlockSize);
    return 0;
}
