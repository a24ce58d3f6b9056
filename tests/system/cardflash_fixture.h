#ifndef CARDFLASH_FIXTURE_H
#define CARDFLASH_FIXTURE_H

// Shared by the cardflash system tests: runs the built tool as the unit's
// /usr/share/lumo/bin/cardflash in the sandboxed unit, builds update
// packages on the test's card, and spells out what the stand-in MTD
// utilities print and log, so that each test can state its whole transcript.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "UnitSandbox.h"

namespace cardflash_test
{

const char* const kTool = "/usr/share/lumo/bin/cardflash";
const std::size_t kPartitionSize = 256 * 1024;
const char kOldFirmware = 'o';

// Runs a host command and gives its standard output.
inline std::string hostOutput(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    char buffer[256];
    size_t count = 0;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, count);
    }
    pclose(pipe);
    return text;
}

// The checksum text that a manifest carries for this content, worked out
// with the host's sha1sum and md5sum: line feeds left out, cut at the first
// zero byte, "EMPTY" when nothing remains.
inline std::string checkSumOf(const std::string& content, const std::string& scratchFile)
{
    std::string digested;
    for (char c : content) {
        if (c == '\0') {
            break;
        }
        if (c != '\n') {
            digested += c;
        }
    }
    if (digested.empty()) {
        return "EMPTY";
    }
    UnitSandbox::writeFileAt(scratchFile, digested);
    const std::string sha1 = hostOutput("sha1sum < '" + scratchFile + "'").substr(0, 40);
    const std::string md5 = hostOutput("md5sum < '" + scratchFile + "'").substr(0, 32);
    std::remove(scratchFile.c_str());
    return sha1 + "-" + md5;
}

// What flash_erase prints when it erases a whole partition.
inline std::string eraseOutput()
{
    char text[64];
    std::snprintf(text, sizeof text, "Erasing 64 Kibyte @ %zx -- 100 %% complete\n",
                  kPartitionSize);
    return text;
}

// What "flashcp -v" prints when it writes an image of this size.
inline std::string flashcpOutput(std::size_t imageSize)
{
    const std::size_t blocks = (imageSize + 65535) / 65536;
    const std::string kib = std::to_string(imageSize / 1024) + "k";
    return "Erasing blocks: " + std::to_string(blocks) + "/" + std::to_string(blocks) +
           " (100%)\n" + "Writing data: " + kib + "/" + kib + " (100%)\n" +
           "Verifying data: " + kib + "/" + kib + " (100%)\n";
}

const char* const kUnlockLine = "Unlock the file system...\n";
const char* const kLockLine = "Lock the file system\n";
const char* const kUnlockLog = "flash_unlock /dev/mtd5 0 900 -> 0\n";
const char* const kLockLog = "flash_lock /dev/mtd5 0 900 -> 0\n";
const char* const kFailedStatus = "256\n"; // system() of a utility that exited with 1

class CardflashTest : public ::testing::Test
{
protected:
    CardflashTest() : unit(kPartitionSize)
    {
        for (int i = 0; i < 9; ++i) {
            unit.writePartition(i, oldFirmware());
        }
    }

    static std::string oldFirmware() { return std::string(kPartitionSize, kOldFirmware); }

    // A partition after an erase and a write of this image.
    static std::string flashedWith(const std::string& image)
    {
        return image + std::string(kPartitionSize - image.size(), '\xff');
    }

    std::string checkSum(const std::string& content) const
    {
        return checkSumOf(content, unit.root() + "/checksum-scratch");
    }

    // Puts the image into /images and gives its manifest line.
    std::string image(const std::string& name, const std::string& content) const
    {
        unit.writeImage(name, content);
        return name + "," + checkSum(content) + "\n";
    }

    void manifest(const std::string& text) const { unit.writeSdFile("lumoManifest", text); }

    SandboxResult cardflash(std::vector<std::string> options,
                            const std::vector<std::string>& args) const
    {
        options.insert(options.end(), {"--cardflash", CARDFLASH_BINARY});
        std::vector<std::string> command = {kTool};
        command.insert(command.end(), args.begin(), args.end());
        return unit.run(options, command);
    }

    // The tool on a mounted card.
    SandboxResult onCard(const std::vector<std::string>& args) const
    {
        return cardflash({"--card", "mounted"}, args);
    }

    // The erase step of one partition as the tool prints and logs it.
    static std::string eraseStep(const std::string& device)
    {
        return "Erasing " + device + "\n" + eraseOutput() + "0\n";
    }
    static std::string eraseLog(const std::string& device, int status = 0)
    {
        return "flash_erase " + device + " 0 0 -> " + std::to_string(status) + "\n";
    }

    // The write step of one image.
    static std::string writeStep(const std::string& name, const std::string& device,
                                 std::size_t size)
    {
        return "Writing " + name + " to " + device + "\n" + flashcpOutput(size) + "0\n";
    }
    static std::string writeLog(const std::string& name, const std::string& device, int status = 0)
    {
        return "flashcp -v /images/" + name + " " + device + " -> " + std::to_string(status) + "\n";
    }

    void expectUntouched(const std::vector<int>& partitions) const
    {
        for (int index : partitions) {
            EXPECT_TRUE(unit.readPartition(index) == oldFirmware())
                << "mtd" << index << " was changed";
        }
    }

    void expectAllUntouched() const { expectUntouched({0, 1, 2, 3, 4, 5, 6, 7, 8}); }

    UnitSandbox unit;
};

} // namespace cardflash_test

#endif
