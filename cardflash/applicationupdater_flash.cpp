#include "applicationupdater.h"

#include <string>

#include "cardtext.h"
#include "console.h"
#include "filesystem.h"

// Writing the checked images into their partitions with the MTD utilities,
// and reading each partition back.

namespace
{

const char8* const readBackFailedMessage = "READ-BACK FAILED: ";
const char8* const bootstrapRemovedMessage = "BOOTSTRAP REMOVED";
const char8* const bootstrapNotRemovedMessage = "BOOTSTRAP NOT REMOVED";
const char8* const bootSetIgnoredMessage = "BOOT SET IGNORED";

const char8* const unlockMessage = "Unlock the file system...";
const char8* const unlockCommand = "flash_unlock ";
const char8* const lockMessage = "Lock the file system";
const char8* const lockCommand = "flash_lock ";
const char8* const lockRange = " 0 900";
const char8* const eraseMessage = "Erasing ";
const char8* const eraseCommand = "flash_erase ";
const char8* const eraseRange = " 0 0";
const char8* const writeMessage = "Writing ";
const char8* const writeMessageTo = " to ";
const char8* const writeCommand = "flashcp -v ";
const char8* const writeCommandTo = " ";

} // namespace

// With a boot set on the card, the bootstrap is erased first and written
// last: until the boot chain in flash is whole again, the processor's ROM
// finds no bootstrap and boots from the card, which runs the update again.
// Whenever the power goes, the unit comes back.
bool ApplicationUpdater::CopyTheFilesToSerialFlash()
{
    bool everyImageWritten = true;
    const bool bootstrapLast = BootstrapWrittenLast();
    UnlockFileSystem();
    if (bootstrapLast) {
        everyImageWritten = ErasePartition(m_serialFlashForBootstrap) == 0;
    }
    for (const StdString& name : m_orderedFileList) {
        const StdString flashDevice = FlashDeviceFor(name);
        if (!flashDevice.IsEmpty() && !(bootstrapLast && name == m_bootStrapFileName)) {
            everyImageWritten = WriteImage(name, flashDevice) && everyImageWritten;
        }
    }
    if (bootstrapLast) {
        everyImageWritten = WriteErasedPartition(m_bootStrapFileName, m_serialFlashForBootstrap) &&
                            everyImageWritten;
    }
    LockFileSystem();
    return everyImageWritten;
}

bool ApplicationUpdater::BootstrapWrittenLast()
{
    for (const StdString& name : m_orderedFileList) {
        if (name == m_bootStrapFileName) {
            return BootSetUsable();
        }
    }
    return false;
}

// The processor's ROM boots the boot set unchecked, so a boot set counts
// only when each of its files on the card is the one that the manifest
// names; a signed unit needs a signed SHA-256 for each. One that is there
// but does not count is said.
bool ApplicationUpdater::BootSetUsable()
{
    FileSystem fileSystem;
    bool anythingThere = !m_bootSetLines.empty();
    bool usable = true;
    for (const StdString& cardName : m_cardBootSet) {
        anythingThere = anythingThere || fileSystem.fileExists(m_pathToSDCard + cardName);
        usable = usable && BootSetFileMatches(cardName);
    }
    if (anythingThere && !usable) {
        printLine(bootSetIgnoredMessage);
    }
    return usable;
}

bool ApplicationUpdater::BootSetFileMatches(const StdString& cardName)
{
    const StdString path = m_pathToSDCard + cardName;
    const auto line = m_bootSetLines.find(BootSetLineName(cardName));
    if (line == m_bootSetLines.end()) {
        FileSystem fileSystem;
        return !m_signedPackage && fileSystem.fileExists(path);
    }
    const BootSetLine& expected = line->second;
    return !(m_signedPackage && expected.digestField.IsEmpty()) &&
           Matches(ReadDigests(path, true), expected.checkSum, expected.digestField);
}

// A failed erase does not stop the write: the partition is in an unknown
// state either way, and the status lines tell the story.
bool ApplicationUpdater::WriteImage(const StdString& name, const StdString& flashDevice)
{
    const bool erased = ErasePartition(flashDevice) == 0;
    return WriteErasedPartition(name, flashDevice) && erased;
}

bool ApplicationUpdater::WriteErasedPartition(const StdString& name, const StdString& flashDevice)
{
    if (CopyPartition(flashDevice, name) != 0) {
        return false;
    }
    return ReadBackMatches(name, flashDevice);
}

// flashcp has compared the partition with the file, but the file is not
// what was verified if it changed meanwhile, and the partition may hold
// more than the image: whatever flashcp read, the partition must hold the
// verified image and, behind it, nothing but erased bytes. JFFS2 would take
// anything there for its own nodes.
bool ApplicationUpdater::ReadBackMatches(const StdString& name, const StdString& flashDevice)
{
    FileSystem fileSystem;
    const bool wholeImageDigest = m_sha256InManifest.count(name) != 0;
    StdString expected(wholeImageDigest ? m_sha256InManifest[name].c_str()
                                        : m_filesInManifest[name].c_str());
    std::string written;
    if (fileSystem.getWrittenDigest(flashDevice, m_imageSizes[name], wholeImageDigest, written) &&
        StdString(written.c_str()) == expected.Trim()) {
        return true;
    }
    printLine(readBackFailedMessage + shownCardName(name));
    return false;
}

void ApplicationUpdater::RemoveBootstrap()
{
    StdString problem;
    if (!m_flashUtilities.Prepare(problem)) {
        printLine(problem);
        printLine(bootstrapNotRemovedMessage);
        return;
    }
    UnlockFileSystem();
    const int32 eraseStatus = ErasePartition(m_possibleFiles[m_bootStrapFileName]);
    printLine(eraseStatus == 0 ? bootstrapRemovedMessage : bootstrapNotRemovedMessage);
}

// The unlock and lock statuses are not looked at: the utilities fail on
// flash chips without lock support, which are still writable.
void ApplicationUpdater::UnlockFileSystem()
{
    printLine(unlockMessage);
    m_flashUtilities.Run(StdString(unlockCommand) + m_serialFlashForRootfs + lockRange);
}

int32 ApplicationUpdater::ErasePartition(StdString deviceToErase)
{
    m_writingStarted = true;
    printLine(eraseMessage + deviceToErase);
    const int32 status = m_flashUtilities.Run(StdString(eraseCommand) + deviceToErase + eraseRange);
    printLine(status);
    return status;
}

int32 ApplicationUpdater::CopyPartition(StdString deviceToCopyTo, StdString fileToCopy)
{
    printLine(writeMessage + fileToCopy + writeMessageTo + deviceToCopyTo);
    const int32 status =
        m_flashUtilities.Run(StdString(writeCommand) + m_imageCopies.PathOf(fileToCopy) +
                             writeCommandTo + deviceToCopyTo);
    printLine(status);
    return status;
}

void ApplicationUpdater::LockFileSystem()
{
    printLine(lockMessage);
    m_flashUtilities.Run(StdString(lockCommand) + m_serialFlashForRootfs + lockRange);
}
