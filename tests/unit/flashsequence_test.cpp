#include "commandrunner.h"
#include "flashsequence.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#include "table.h"

namespace
{

// Logs each command line; one that holds `failing` gives status 1, one that
// holds `throwing` throws.
class FakeRunner : public CommandRunner
{
public:
    int32 Run(const StdString& line) override
    {
        log += line + "\n";
        if (!throwing.empty() && line.find(throwing) != Str::npos) {
            throw std::runtime_error(throwing);
        }
        return !failing.empty() && line.find(failing) != Str::npos ? 1 : 0;
    }
    Str log, failing, throwing;
};

const char* const kAbcSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

FlashImage Image(const char* name, const Str& device)
{
    FlashImage image;
    image.name = name;
    image.device = device.c_str();
    image.source = ("copy/" + Str(name)).c_str();
    image.length = 3;
    image.wholeImageDigest = true;
    image.expected = kAbcSha256;
    return image;
}

// The result of writing, and the commands run, "|" for each line end.
Str Written(const std::vector<FlashImage>& images, bool bootstrapLast, const Str& failing = "",
            const Str& throwing = "")
{
    FakeRunner runner;
    runner.failing = failing;
    runner.throwing = throwing;
    FlashSequence sequence(runner);
    Str result = "threw";
    try {
        result = J(sequence.Write(images, bootstrapLast)).substr(1);
    } catch (const std::runtime_error&) {
    }
    for (char& c : runner.log) {
        c = c == '\n' ? '|' : c;
    }
    return result + " " + runner.log;
}

} // namespace

// Partitions are files here, which the fake flashcp leaves as they are: "good"
// holds the image and erased bytes, "bad" a wrong byte.
TEST(FlashSequence, UnlocksErasesWritesReadsBackAndLocksWhateverHappens)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("cf-sequence-" + std::to_string(getpid()));
    fs::create_directory(dir);
    const Str good = (dir / "good").string(), bad = (dir / "bad").string();
    std::ofstream(good) << "abc\xff\xff";
    std::ofstream(bad) << "abX\xff";
    const FlashImage u = Image("uboot.bin", good), z = Image("zImage", bad);
    const FlashImage b = Image("bootstrap.bin", good);
    const Str unlock = "flash_unlock /dev/mtd5 0 900|", lock = "flash_lock /dev/mtd5 0 900|";
    const Str eraseU = "flash_erase " + good + " 0 0|",
              writeU = "flashcp -v copy/uboot.bin " + good + "|";
    const Str eraseZ = "flash_erase " + bad + " 0 0|",
              writeZ = "flashcp -v copy/zImage " + bad + "|";
    const Str writeB = "flashcp -v copy/bootstrap.bin " + good + "|";
    Check({ROW("1 " + unlock + eraseU + writeU + lock, Written({u}, false)),
           ROW("0 " + unlock + eraseU + writeU + eraseZ + writeZ + lock, Written({u, z}, false)),
           ROW("1 " + unlock + "flash_erase /dev/mtd0 0 0|" + eraseU + writeU + writeB + lock,
               Written({b, u}, true)),
           ROW("1 " + unlock + eraseU + writeB + eraseU + writeU + lock, Written({b, u}, false)),
           ROW("0 " + unlock + eraseU + writeU + lock, Written({u}, false, "flash_erase")),
           ROW("0 " + unlock + eraseU + writeU + lock, Written({u}, false, "flashcp")),
           ROW("threw " + unlock + eraseU + writeU + lock, Written({u, z}, false, "", "flashcp"))});
    fs::remove_all(dir);
}
