// Arbitrary bytes as the manifest of a mounted card that has a few images in
// place. What the updater records (names in order, checksum texts, rejected
// names, version, tar-ball flag) and the verdict it prints for -v and the
// version it prints for -g must equal what a simple, independent reading of
// the same bytes gives.
//
// The updater reads the card through its compiled-in paths, so this runs
// inside the sandboxed unit (testing/sandbox/unit-sandbox --card mounted):
// each input is written to /mnt/sd-card/lumoManifest, which there is a
// temporary folder. It refuses to run anywhere else.
#include "FuzzSupport.h"
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gcrypt.h>
#include <map>
#include <set>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "applicationupdater.h"

namespace
{

const char* const kManifest = "/mnt/sd-card/lumoManifest";
const char* const kTarBall = "/mnt/sd-card/lumoTarBall.tar.gz";
const char* const kImages = "/images/";
const char* const kWhiteSpace = " \t\r\n";

struct Image {
    const char* name;
    std::string content;
};

// Line feeds and a zero byte in the kernel, two images with nothing to
// digest, one image the partition map does not know, and a file named like
// the version line. Their checksum texts are in the seeds and manifest.dict.
const std::vector<Image> kImagesInPlace = {
    {"zImage", std::string("kernel\nimage\0after the zero byte\n", 33)},
    {"rootfs.squashfs", "root file system"},
    {"uboot.bin", ""},
    {"bootstrap.bin", "\n\n"},
    {"extra.bin", "not in the partition map"},
    {"Version", "1.2.3"},
};
const char* const kTarBallContent = "tar ball stand-in";

const std::set<std::string> kFlashImages = {
    "uboot.bin",       "at91sam9g35ek.dtb",    "zImage",
    "rootfs.squashfs", "usr_share_lumo.jffs2", "usr_share_jail.jffs2",
    "var.jffs2",       "bootstrap.bin"};

std::map<std::string, std::string> g_checkSumOf; // image name -> checksum text
std::string g_tarBallCheckSum;

// --- the independent reading -------------------------------------------------

struct Reading {
    std::vector<std::string> ordered;
    std::map<std::string, std::string> files;
    std::vector<std::string> rejected;
    std::string version;
    bool tarBall = false;
    std::string tarBallText;
    std::string verdict;
};

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

// Lines end at line feeds; a final line feed ends the last line and adds no
// empty one; a zero byte ends the text of its line.
std::vector<std::string> linesOf(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        const std::string line = bytes.substr(start, end - start);
        lines.push_back(line.substr(0, line.find('\0')));
        start = end + 1;
    }
    return lines;
}

void readLine(const std::string& line, Reading& reading)
{
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos || comma == 0) {
        return;
    }
    const std::string name = line.substr(0, comma);
    const std::string rest = line.substr(comma + 1);
    const std::string value = rest.substr(0, rest.find(','));
    if (name == "Version") {
        reading.version = value;
    }
    if (name == "lumoTarBall.tar.gz") {
        reading.tarBall = true;
        reading.tarBallText = value;
    }
    if (name.find('/') != std::string::npos || name == "." || name == "..") {
        reading.rejected.push_back(name);
        return;
    }
    const auto image = g_checkSumOf.find(name);
    if (image != g_checkSumOf.end() && trimmed(value) == image->second) {
        reading.ordered.push_back(name);
        reading.files[name] = value;
    } else if (kFlashImages.count(name) != 0) {
        reading.rejected.push_back(name);
    }
}

Reading readIndependently(const std::string& bytes)
{
    Reading reading;
    for (const std::string& line : linesOf(bytes)) {
        readLine(line, reading);
    }
    const bool anythingToFlash =
        std::any_of(reading.ordered.begin(), reading.ordered.end(),
                    [](const std::string& name) { return kFlashImages.count(name) != 0; });
    if (reading.tarBall) {
        reading.verdict = trimmed(reading.tarBallText) == g_tarBallCheckSum ? "TARBALL" : "INVALID";
    } else {
        reading.verdict = reading.rejected.empty() && anythingToFlash ? "FLASH" : "INVALID";
    }
    return reading;
}

// --- plumbing ------------------------------------------------------------------

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "manifest_fuzzer: %s\n", what.c_str());
    std::abort();
}

// The overloads below would hide the one for a single text.
using ::shown;

std::string shown(const std::vector<std::string>& list)
{
    std::string out = "[";
    for (const std::string& item : list) {
        out += (out.size() > 1 ? ", " : "") + shown(item);
    }
    return out + "]";
}

std::string shown(const std::map<std::string, std::string>& map)
{
    std::string out = "{";
    for (const auto& entry : map) {
        out += (out.size() > 1 ? ", " : "") + shown(entry.first) + ": " + shown(entry.second);
    }
    return out + "}";
}

template <typename Value>
void expectSame(const char* what, const Value& actual, const Value& expected)
{
    if (!(actual == expected)) {
        fail(std::string(what) + " differs\n  updater:     " + shown(actual) +
             "\n  independent: " + shown(expected));
    }
}

void writeFile(const std::string& path, const std::string& content)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(content.data(), 1, content.size(), file) != content.size() ||
        std::fclose(file) != 0) {
        fail("cannot write " + path);
    }
}

// Runs `action` with the standard output going to a memory file and returns
// what it printed.
template <typename Action> std::string printedBy(Action action)
{
    static const int capture = memfd_create("manifest_fuzzer_stdout", 0);
    if (capture < 0 || ftruncate(capture, 0) != 0 || lseek(capture, 0, SEEK_SET) != 0) {
        fail("cannot set up the output capture");
    }
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(capture, STDOUT_FILENO);
    action();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string printed;
    char block[4096];
    ssize_t got = 0;
    lseek(capture, 0, SEEK_SET);
    while ((got = read(capture, block, sizeof block)) > 0) {
        printed.append(block, static_cast<std::size_t>(got));
    }
    return printed;
}

std::vector<std::string> plain(const std::vector<StdString>& list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

std::map<std::string, std::string> plain(const std::map<StdString, StdString>& map)
{
    return std::map<std::string, std::string>(map.begin(), map.end());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (access("/run/unit-sandbox/config", F_OK) != 0 || access("/sys/block/mmcblk0", F_OK) != 0) {
        fail("run me inside the sandboxed unit with --card mounted (scripts/test-fuzz does)");
    }
    gcry_check_version(nullptr);
    for (const Image& image : kImagesInPlace) {
        writeFile(kImages + std::string(image.name), image.content);
        g_checkSumOf[image.name] = definedCheckSumText(image.content);
    }
    writeFile(kTarBall, kTarBallContent);
    g_tarBallCheckSum = definedCheckSumText(kTarBallContent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    writeFile(kManifest, bytes);
    const Reading expected = readIndependently(bytes);

    ApplicationUpdater verifier;
    expectSame<std::string>("verdict (-v)",
                            printedBy([&] { verifier.ValidateInstallationMedia(); }),
                            expected.verdict + "\n");
    expectSame("recorded names in order", plain(verifier.GetOrderedFileList()), expected.ordered);
    expectSame("recorded checksum texts", plain(verifier.GetFilesInManifest()), expected.files);
    expectSame("rejected names", plain(verifier.GetRejectedFileList()), expected.rejected);
    expectSame<std::string>("version", verifier.GetVersionInManifest(), expected.version);
    expectSame<std::string>("tar-ball package", verifier.IsTarBallPackage() ? "yes" : "no",
                            expected.tarBall ? "yes" : "no");

    ApplicationUpdater reporter;
    expectSame<std::string>("printed version (-g)", printedBy([&] { reporter.GetVersion(); }),
                            expected.version + "\n");
    return 0;
}
