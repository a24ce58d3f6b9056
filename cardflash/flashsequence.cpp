#include "flashsequence.h"

#include <string>

#include "cardtext.h"
#include "commandrunner.h"
#include "console.h"
#include "filesystem.h"
#include "partitionmap.h"
#include "statuslines.h"

namespace
{

const char8* const readBackFailedMessage = "READ-BACK FAILED: ";
const char8* const unlockMessage = "Unlock the file system...";
const char8* const unlockCommand = "flash_unlock ";
const char8* const lockMessage = "Lock the file system";
const char8* const lockCommand = "flash_lock ";
const char8* const lockRange = " 0 900";
const char8* const eraseMessage = statuslines::kErasing;
const char8* const eraseCommand = "flash_erase ";
const char8* const eraseRange = " 0 0";
const char8* const writeMessage = statuslines::kWriting;
const char8* const writeMessageTo = statuslines::kWritingTo;
const char8* const writeCommand = "flashcp -v ";
const char8* const writeCommandTo = " ";
const char8* const unchangedOn = statuslines::kUnchangedOn;

// The flash is locked again whenever the writing ends, an exception included.
class UnlockedFlash
{
public:
    explicit UnlockedFlash(FlashSequence& sequence) : m_sequence(sequence) { m_sequence.Unlock(); }
    ~UnlockedFlash() { m_sequence.Lock(); }
    UnlockedFlash(const UnlockedFlash&) = delete;
    UnlockedFlash& operator=(const UnlockedFlash&) = delete;

private:
    FlashSequence& m_sequence;
};

} // namespace

FlashSequence::FlashSequence(CommandRunner& runner) : m_runner(runner), m_writingStarted(false) {}

void FlashSequence::FindUnchanged(std::vector<FlashImage>& images)
{
    for (FlashImage& image : images) {
        image.unchanged = PartitionHolds(image);
    }
}

bool FlashSequence::AnythingToWrite(const std::vector<FlashImage>& images)
{
    for (const FlashImage& image : images) {
        if (!image.unchanged) {
            return true;
        }
    }
    return false;
}

// Until the boot chain in flash is whole again, the processor's ROM finds no
// bootstrap and boots from the card, which runs the update again.
bool FlashSequence::Write(const std::vector<FlashImage>& images, bool bootstrapLast)
{
    if (!AnythingToWrite(images)) {
        for (const FlashImage& image : images) {
            ReportUnchanged(image);
        }
        return true;
    }
    const StdString bootstrap = PartitionMap::BootstrapImage();
    const StdString bootstrapDevice = PartitionMap::DeviceFor(bootstrap);
    const FlashImage* bootstrapImage = nullptr;
    bool everyImageWritten = true;
    const UnlockedFlash unlocked(*this);
    if (bootstrapLast) {
        everyImageWritten = Erase(bootstrapDevice) == 0;
    }
    for (const FlashImage& image : images) {
        if (bootstrapLast && image.name == bootstrap) {
            bootstrapImage = &image;
        } else if (image.unchanged) {
            ReportUnchanged(image);
        } else {
            everyImageWritten = WriteImage(image) && everyImageWritten;
        }
    }
    if (bootstrapImage != nullptr) {
        everyImageWritten = WriteErasedPartition(*bootstrapImage) && everyImageWritten;
    }
    return everyImageWritten;
}

// The unlock and lock statuses are not looked at: the utilities fail on
// flash chips without lock support, which are still writable.
void FlashSequence::Unlock()
{
    printLine(unlockMessage);
    m_runner.Run(StdString(unlockCommand) + PartitionMap::LockedDevice() + lockRange);
}

void FlashSequence::Lock()
{
    printLine(lockMessage);
    m_runner.Run(StdString(lockCommand) + PartitionMap::LockedDevice() + lockRange);
}

int32 FlashSequence::Erase(const StdString& device)
{
    m_writingStarted = true;
    printLine(eraseMessage + device);
    const int32 status = m_runner.Run(StdString(eraseCommand) + device + eraseRange);
    printLine(status);
    return status;
}

int32 FlashSequence::Copy(const StdString& device, const StdString& name, const StdString& source)
{
    printLine(writeMessage + name + writeMessageTo + device);
    const int32 status = m_runner.Run(StdString(writeCommand) + source + writeCommandTo + device);
    printLine(status);
    return status;
}

bool FlashSequence::WritingStarted() const
{
    return m_writingStarted;
}

// A failed erase does not stop the write: the partition is in an unknown
// state either way, and the status lines tell the story.
bool FlashSequence::WriteImage(const FlashImage& image)
{
    const bool erased = Erase(image.device) == 0;
    return WriteErasedPartition(image) && erased;
}

// A copy that has been written gives its RAM back at once: the unit has
// little, and the programs still running need their pages.
bool FlashSequence::WriteErasedPartition(const FlashImage& image)
{
    const bool written =
        Copy(image.device, image.name, image.source) == 0 && ReadBackMatches(image);
    if (image.sourceIsCopy) {
        FileSystem fileSystem;
        fileSystem.removeFile(image.source);
    }
    return written;
}

// An image that is not written gives its copy back all the same.
void FlashSequence::ReportUnchanged(const FlashImage& image)
{
    printLine(statuslines::kUnchanged + image.name + unchangedOn + image.device);
    if (image.sourceIsCopy) {
        FileSystem fileSystem;
        fileSystem.removeFile(image.source);
    }
}

// flashcp has compared the partition with its file, but the partition may
// hold more than the image: it must hold the checked image and, behind it,
// nothing but erased bytes. JFFS2 would take anything there for its own
// nodes.
bool FlashSequence::ReadBackMatches(const FlashImage& image)
{
    if (PartitionHolds(image)) {
        return true;
    }
    printLine(readBackFailedMessage + shownCardName(image.name));
    return false;
}

bool FlashSequence::PartitionHolds(const FlashImage& image)
{
    FileSystem fileSystem;
    std::string written;
    return fileSystem.getWrittenDigest(image.device, image.length, image.wholeImageDigest,
                                       written) &&
           StdString(written.c_str()) == image.expected;
}
