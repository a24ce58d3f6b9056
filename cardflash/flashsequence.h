#ifndef FLASHSEQUENCE_H
#define FLASHSEQUENCE_H

#include <cstdint>
#include <vector>

#include "StdString.h"
#include "lumo_common.h"

class CommandRunner;

// One image to write: its name as the transcript shows it, its partition,
// the file that flashcp writes, and what the partition must hold after it:
// the image's checked length, then erased bytes, the first `length` bytes
// with the SHA-256 (or, without `wholeImageDigest`, the checksum text)
// `expected`.
struct FlashImage {
    StdString name;
    StdString device;
    StdString source;
    std::uint64_t length = 0;
    bool wholeImageDigest = false;
    StdString expected;
    // The source is a copy of the tool's own, removed once it is written.
    bool sourceIsCopy = false;
    // The partition holds the image already: it is neither erased nor written.
    bool unchanged = false;
};

// The order of the flash programming and its transcript: unlock, for each
// image its erase, its write and its read-back, lock. Every status is
// printed; a failed step does not stop the ones after it, since the
// partition is in an unknown state either way.
class FlashSequence
{
public:
    explicit FlashSequence(CommandRunner& runner);

    // Marks each image whose partition holds it already, as the read-back
    // would find it. Nothing is written.
    void FindUnchanged(std::vector<FlashImage>& images);
    [[nodiscard]] static bool AnythingToWrite(const std::vector<FlashImage>& images);

    // With `bootstrapLast` (a bootstrap image is among the images), the
    // bootstrap's partition is erased first and written last, whether it
    // holds that image already or not. True when every erase, write and
    // read-back succeeded. The flash is unlocked only when something is to
    // be written, and locked again however the writing ends.
    [[nodiscard]] bool Write(const std::vector<FlashImage>& images, bool bootstrapLast);

    void Unlock();
    void Lock();
    int32 Erase(const StdString& device);
    int32 Copy(const StdString& device, const StdString& name, const StdString& source);
    // Whether a partition has been erased.
    [[nodiscard]] bool WritingStarted() const;

private:
    [[nodiscard]] bool WriteImage(const FlashImage& image);
    [[nodiscard]] bool WriteErasedPartition(const FlashImage& image);
    [[nodiscard]] bool ReadBackMatches(const FlashImage& image);
    [[nodiscard]] static bool PartitionHolds(const FlashImage& image);
    static void ReportUnchanged(const FlashImage& image);

    CommandRunner& m_runner;
    bool m_writingStarted;
};

#endif
