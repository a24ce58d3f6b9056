#ifndef CARDFLASH_FIXTURE_H
#define CARDFLASH_FIXTURE_H

// Shared by the cardflash system tests: runs the built tool as the unit's
// /usr/share/lumo/bin/cardflash in the sandboxed unit, builds update
// packages on the test's card, and spells out what the tool and the stand-in
// MTD utilities print and log, so that each test can state its whole transcript.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "UnitSandbox.h"

namespace cardflash_test
{

const char* const kTool = "/usr/share/lumo/bin/cardflash";
const std::size_t kPartitionSize = 256 * 1024;
const char kOldFirmware = 'o';

const std::string kUnlockLine = "Unlock the file system...\n";
const std::string kLockLine = "Lock the file system\n";
const std::string kFlashFailed = "FLASH FAILED\n";
const std::string kNothingToWrite = "NO IMAGE TO WRITE\n" + kFlashFailed;
const std::string kNoCard = "The sdcard is not available!324\n";
const std::string kNotUpdated = "Application not updated!\n";

inline std::string rejected(const std::string& name)
{
    return "IMAGE REJECTED: " + name + "\n";
}

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

// A step's status line as system() gives it: a utility that exited with 1 is 256.
inline std::string statusLine(int exitCode)
{
    return std::to_string(exitCode * 256) + "\n";
}

// The erase of a whole partition as the tool prints it (flash_erase's own
// progress line only when it worked) and as the stand-in logs it.
inline std::string eraseStep(const std::string& device, int exitCode = 0)
{
    char progress[64];
    std::snprintf(progress, sizeof progress, "Erasing 64 Kibyte @ %zx -- 100 %% complete\n",
                  kPartitionSize);
    return "Erasing " + device + "\n" + (exitCode == 0 ? progress : "") + statusLine(exitCode);
}
inline std::string eraseLog(const std::string& device, int exitCode = 0)
{
    return "flash_erase " + device + " 0 0 -> " + std::to_string(exitCode) + "\n";
}

// What "flashcp -v" prints when it writes an image of this size.
inline std::string flashcpOutput(std::size_t imageSize)
{
    const std::string blocks = std::to_string((imageSize + 65535) / 65536);
    const std::string kib = std::to_string(imageSize / 1024) + "k";
    return "Erasing blocks: " + blocks + "/" + blocks + " (100%)\nWriting data: " + kib + "/" +
           kib + " (100%)\nVerifying data: " + kib + "/" + kib + " (100%)\n";
}

// One image of a package and the partition that the map sends it to.
struct Image {
    std::string name;
    int mtd;
    std::string content;

    std::string device() const { return "/dev/mtd" + std::to_string(mtd); }

    // Its erase and write steps as the tool prints them, given the exit
    // codes of flash_erase and flashcp.
    std::string steps(int erase = 0, int write = 0) const
    {
        return eraseStep(device(), erase) + "Writing " + name + " to " + device() + "\n" +
               (write == 0 ? flashcpOutput(content.size()) : "") + statusLine(write);
    }
    std::string log(int erase = 0, int write = 0) const
    {
        return eraseLog(device(), erase) + "flashcp -v /images/" + name + " " + device() + " -> " +
               std::to_string(write) + "\n";
    }
};

const Image kBoot{"uboot.bin", 1, std::string(1000, 'u')};
const Image kKernel{"zImage", 4, "kernel image\nwith two lines\n"};
const Image kRootfs{"rootfs.squashfs", 5, std::string(70000, 'r')}; // two erase blocks

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

    // A whole flash run around these steps, and its log.
    static std::string completed(const std::string& steps)
    {
        return kUnlockLine + steps + kLockLine + "FLASH COMPLETE\n";
    }
    static std::string failed(const std::string& steps)
    {
        return kUnlockLine + steps + kLockLine + kFlashFailed;
    }
    static std::string logged(const std::string& steps, int unlock = 0, int lock = 0)
    {
        return "flash_unlock /dev/mtd5 0 900 -> " + std::to_string(unlock) + "\n" + steps +
               "flash_lock /dev/mtd5 0 900 -> " + std::to_string(lock) + "\n";
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
    std::string image(const Image& i) const { return image(i.name, i.content); }

    void manifest(const std::string& text) const { unit.writeSdFile("lumoManifest", text); }

    // Packs the card's tar ball (a data file, and the new application when
    // given) and gives its manifest line.
    std::string tarBall(const std::string& application = "") const
    {
        const std::string staging = unit.root() + "/staging";
        UnitSandbox::writeFileAt(staging + "/usr/share/lumo/app/new.txt", "unpacked\n");
        if (!application.empty()) {
            const std::string program = staging + "/usr/share/lumo/bin/TestTessaron";
            UnitSandbox::writeFileAt(program, application);
            chmod(program.c_str(), 0755);
        }
        const std::string path = unit.sdDir() + "/lumoTarBall.tar.gz";
        EXPECT_EQ(std::system(("tar -C '" + staging + "' -czf '" + path + "' usr").c_str()), 0);
        return "lumoTarBall.tar.gz," + checkSum(UnitSandbox::readFile(path)) + "\n";
    }

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

    // Every partition holds what `changed` gives for it, the rest the old firmware.
    void expectPartitions(const std::map<int, std::string>& changed = {}) const
    {
        for (int index = 0; index < 9; ++index) {
            const auto found = changed.find(index);
            EXPECT_TRUE(unit.readPartition(index) ==
                        (found == changed.end() ? oldFirmware() : found->second))
                << "mtd" << index;
        }
    }

    // A run that printed `out` and called no flash utility.
    void expectNothingWritten(const SandboxResult& r, const std::string& out) const
    {
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.log, "");
        EXPECT_EQ(r.exitStatus, 255) << r.err;
        expectPartitions();
    }

    UnitSandbox unit;
};

} // namespace cardflash_test

#endif
