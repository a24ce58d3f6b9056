#include "applicationupdater.h"

#include <string>

#include "Stat.h"
#include "console.h"
#include "filesystem.h"
#include "sdcardhandler.h"
#include "shellcommand.h"

const StdString ApplicationUpdater::m_pathToSDCard = "/mnt/sd-card/";
const StdString ApplicationUpdater::m_pathToImages = "/images/";
const StdString ApplicationUpdater::m_manifestFileName = "lumoManifest";
const StdString ApplicationUpdater::m_tarBallFileName = "lumoTarBall.tar.gz";
const StdString ApplicationUpdater::m_versionLine = "Version";
const StdString ApplicationUpdater::m_bootStrapFileName = "bootstrap.bin";
const StdString ApplicationUpdater::m_ubootFileName = "uboot.bin";
const StdString ApplicationUpdater::m_deviceTreeFileName = "at91sam9g35ek.dtb";
const StdString ApplicationUpdater::m_kernelImageFileName = "zImage";
const StdString ApplicationUpdater::m_rootFileSystemFileName = "rootfs.squashfs";
const StdString ApplicationUpdater::m_usrShareLumoFileName = "usr_share_lumo.jffs2";
const StdString ApplicationUpdater::m_usrShareJailFileName = "usr_share_jail.jffs2";
const StdString ApplicationUpdater::m_varFileName = "var.jffs2";
const StdString ApplicationUpdater::m_tarIndicator = "tgz";
const StdString ApplicationUpdater::m_serialFlashForBootstrap = "/dev/mtd0";
const StdString ApplicationUpdater::m_serialFlashForUboot = "/dev/mtd1";
const StdString ApplicationUpdater::m_serialFlashForDevicetree = "/dev/mtd3";
const StdString ApplicationUpdater::m_serialFlashForKernel = "/dev/mtd4";
const StdString ApplicationUpdater::m_serialFlashForRootfs = "/dev/mtd5";
const StdString ApplicationUpdater::m_serialFlashUsrLumo = "/dev/mtd6";
const StdString ApplicationUpdater::m_serialFlashUsrJail = "/dev/mtd7";
const StdString ApplicationUpdater::m_serialFlashVar = "/dev/mtd8";

namespace
{

const char8* const sdCardNotAvailableMessage = "The sdcard is not available!";
const int32 sdCardNotAvailableCode = 324;
const char8* const sdCardNotMountedMessage = "The sdcard could not be mounted!";
const char8* const noManifestMessage = "NO MANIFEST";
const char8* const tarBallVerdict = "TARBALL";
const char8* const flashVerdict = "FLASH";
const char8* const invalidVerdict = "INVALID";
const char8* const flashCompleteMessage = "FLASH COMPLETE";
const char8* const flashFailedMessage = "FLASH FAILED";
const char8* const imageRejectedMessage = "IMAGE REJECTED: ";
const char8* const noImageToWriteMessage = "NO IMAGE TO WRITE";
const char8* const bootstrapRemovedMessage = "BOOTSTRAP REMOVED";
const char8* const bootstrapNotRemovedMessage = "BOOTSTRAP NOT REMOVED";

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

const char8 manifestDelimiter = ',';
const char8* const flashDeviceMarker = "dev";
const char8* const extractionRoot = "/";
const char8 pathSeparator = '/';
const size_t longestPrintedName = 64;

// A field is copied as a zero-terminated text: a NUL byte ends it.
StdString fieldOf(const std::string& line, size_t first, size_t end)
{
    return StdString(line.substr(first, end - first).c_str());
}

// Cuts a manifest line into its name and its value (fields after the second
// are ignored). False when the line has no comma, so it is no entry.
bool splitManifestLine(const std::string& line, StdString& name, StdString& value)
{
    const size_t firstComma = line.find(manifestDelimiter);
    if (firstComma == std::string::npos) {
        return false;
    }
    size_t secondComma = line.find(manifestDelimiter, firstComma + 1);
    if (secondComma == std::string::npos) {
        secondComma = line.size();
    }
    name = fieldOf(line, 0, firstComma);
    value = fieldOf(line, firstComma + 1, secondComma);
    return true;
}

// Images live directly in the image directory; a name that walks out of it
// must never get its target verified or written.
bool leavesImageDirectory(const StdString& name)
{
    return name.find(pathSeparator) != std::string::npos || name == "." || name == "..";
}

// Manifest names come from the card: keep hostile bytes and endless lines
// off the operator's screen.
std::string printableName(const StdString& name)
{
    std::string shown = name.substr(0, longestPrintedName);
    for (char8& c : shown) {
        if (c < ' ' || c > '~') {
            c = '?';
        }
    }
    if (name.size() > longestPrintedName) {
        shown += "...";
    }
    return shown;
}

} // namespace

ApplicationUpdater::ApplicationUpdater() : m_tarBallInManifest(false)
{
    Initialize();
}

ApplicationUpdater::~ApplicationUpdater() {}

void ApplicationUpdater::Initialize()
{
    m_possibleFiles.clear();
    m_possibleFiles[m_tarBallFileName] = m_tarIndicator;
    m_possibleFiles[m_versionLine] = m_versionLine;
    m_possibleFiles[m_ubootFileName] = m_serialFlashForUboot;
    m_possibleFiles[m_deviceTreeFileName] = m_serialFlashForDevicetree;
    m_possibleFiles[m_kernelImageFileName] = m_serialFlashForKernel;
    m_possibleFiles[m_rootFileSystemFileName] = m_serialFlashForRootfs;
    m_possibleFiles[m_usrShareLumoFileName] = m_serialFlashUsrLumo;
    m_possibleFiles[m_usrShareJailFileName] = m_serialFlashUsrJail;
    m_possibleFiles[m_varFileName] = m_serialFlashVar;
    m_possibleFiles[m_bootStrapFileName] = m_serialFlashForBootstrap;
}

StdString ApplicationUpdater::getManifestFileName()
{
    return m_pathToSDCard + m_manifestFileName;
}

void ApplicationUpdater::GetVersion()
{
    GetFilesToUpdateFromManifest();
    printLine(m_versionInManifest);
}

void ApplicationUpdater::ValidateInstallationMedia()
{
    GetFilesToUpdateFromManifest();
    if (m_tarBallInManifest) {
        printLine(checkTarBall() ? tarBallVerdict : invalidVerdict);
    } else if (m_rejectedFileList.empty() && HasImageToWrite()) {
        printLine(flashVerdict);
    } else {
        printLine(invalidVerdict);
    }
}

bool ApplicationUpdater::ExecuteUpdate()
{
    if (!GetFilesToUpdateFromManifest()) {
        return FlashFailed();
    }
    if (m_tarBallInManifest) {
        return InstallTarBall();
    }
    if (ReportRejectedImages()) {
        return FlashFailed();
    }
    if (!HasImageToWrite()) {
        printLine(noImageToWriteMessage);
        return FlashFailed();
    }
    if (!CopyTheFilesToSerialFlash()) {
        return FlashFailed();
    }
    printLine(flashCompleteMessage);
    return true;
}

bool ApplicationUpdater::FlashFailed()
{
    printLine(flashFailedMessage);
    return false;
}

bool ApplicationUpdater::ReportRejectedImages()
{
    for (const StdString& name : m_rejectedFileList) {
        printLine(imageRejectedMessage + printableName(name));
    }
    return !m_rejectedFileList.empty();
}

bool ApplicationUpdater::HasImageToWrite()
{
    for (const StdString& name : m_orderedFileList) {
        if (!FlashDeviceFor(name).IsEmpty()) {
            return true;
        }
    }
    return false;
}

bool ApplicationUpdater::checkTarBall()
{
    const StdString expectedCheckSum = TarBallCheckSumFromManifest();
    if (expectedCheckSum.IsEmpty()) {
        return false;
    }
    return CheckFile(m_pathToSDCard + m_tarBallFileName, expectedCheckSum);
}

// The install action checks the tar ball before anything has read the
// manifest, so the expected text is taken from the card every time.
StdString ApplicationUpdater::TarBallCheckSumFromManifest()
{
    FileSystem fileSystem;
    StdString expectedCheckSum;
    for (const StdString& line : fileSystem.openFileInLines(getManifestFileName())) {
        StdString name;
        StdString value;
        if (splitManifestLine(line, name, value) && name == m_tarBallFileName) {
            expectedCheckSum = value;
        }
    }
    return expectedCheckSum;
}

bool ApplicationUpdater::uncompressTarBall()
{
    if (!checkTarBall()) {
        return false;
    }
    FileSystem fileSystem;
    return fileSystem.uncompressTarGz(m_pathToSDCard + m_tarBallFileName, extractionRoot);
}

bool ApplicationUpdater::InstallTarBall()
{
    SDCardHandler sdCard;
    if (!sdCard.IsMounted()) {
        sdCard.Mount();
    }
    // Only an unpacked tar ball counts as installed; mounting alone is not.
    const bool installed = sdCard.IsAvailable() && sdCard.IsMounted() && uncompressTarBall();
    sdCard.UnMount();
    return installed;
}

bool ApplicationUpdater::GetFilesToUpdateFromManifest()
{
    m_filesInManifest.clear();
    SDCardHandler sdCard;
    if (!sdCard.IsAvailable()) {
        printLine(sdCardNotAvailableMessage + std::to_string(sdCardNotAvailableCode));
        return false;
    }
    if (!sdCard.IsMounted() && !sdCard.Mount()) {
        printLine(sdCardNotMountedMessage);
        return false;
    }
    FileSystem fileSystem;
    if (!fileSystem.fileExists(getManifestFileName())) {
        printLine(noManifestMessage);
        return false;
    }
    ProcessManifestFile(&fileSystem);
    return true;
}

void ApplicationUpdater::ProcessManifestFile(FileSystem* localFileSystem)
{
    for (const StdString& line : localFileSystem->openFileInLines(getManifestFileName())) {
        ProcessManifestLine(line);
    }
}

void ApplicationUpdater::ProcessManifestLine(const StdString& line)
{
    StdString fileName;
    StdString checkSum;
    if (!splitManifestLine(line, fileName, checkSum) || fileName.IsEmpty()) {
        return;
    }
    if (fileName == m_versionLine) {
        m_versionInManifest = checkSum;
    }
    if (fileName == m_tarBallFileName) {
        m_tarBallInManifest = true;
    }
    if (leavesImageDirectory(fileName)) {
        m_rejectedFileList.push_back(fileName);
        return;
    }
    if (CheckFile(m_pathToImages + fileName, checkSum)) {
        m_orderedFileList.push_back(fileName);
        m_filesInManifest[fileName] = checkSum;
    } else if (!FlashDeviceFor(fileName).IsEmpty()) {
        m_rejectedFileList.push_back(fileName);
    }
}

bool ApplicationUpdater::CheckFile(StdString fileName, StdString checkSum)
{
    SDCardHandler sdCard;
    if (!sdCard.IsAvailable() || !sdCard.IsMounted()) {
        return false;
    }
    return MatchesCheckSum(fileName, checkSum);
}

// A folder or a device node is no image, whatever checksum it gives.
bool ApplicationUpdater::MatchesCheckSum(const StdString& fileName, const StdString& checkSum)
{
    Stat fileStatus;
    if (!fileStatus.isRegularFile(fileName)) {
        return false;
    }
    FileSystem fileSystem;
    StdString expected(checkSum.c_str());
    StdString calculated(fileSystem.getFileCheckSums(fileName).c_str());
    return expected.Trim() == calculated.Trim();
}

StdString ApplicationUpdater::FlashDeviceFor(const StdString& fileName)
{
    const StdString value = m_possibleFiles[fileName];
    return value.Find(flashDeviceMarker) > 0 ? value : StdString();
}

bool ApplicationUpdater::CopyTheFilesToSerialFlash()
{
    bool everyImageWritten = true;
    UnlockFileSystem();
    for (const StdString& name : m_orderedFileList) {
        const StdString flashDevice = FlashDeviceFor(name);
        if (!flashDevice.IsEmpty()) {
            everyImageWritten = WriteImage(name, flashDevice) && everyImageWritten;
        }
    }
    LockFileSystem();
    return everyImageWritten;
}

// A failed erase does not stop the write: the partition is in an unknown
// state either way, and the status lines tell the story.
bool ApplicationUpdater::WriteImage(const StdString& name, const StdString& flashDevice)
{
    const bool erased = ErasePartition(flashDevice) == 0;
    if (CopyPartition(flashDevice, name) != 0) {
        return false;
    }
    // flashcp has compared the partition with the file; the file must still
    // be the one that was verified before anything was touched.
    if (!MatchesCheckSum(m_pathToImages + name, m_filesInManifest[name])) {
        printLine(imageRejectedMessage + printableName(name));
        return false;
    }
    return erased;
}

void ApplicationUpdater::RemoveBootstrap()
{
    UnlockFileSystem();
    const int32 eraseStatus = ErasePartition(m_possibleFiles[m_bootStrapFileName]);
    printLine(eraseStatus == 0 ? bootstrapRemovedMessage : bootstrapNotRemovedMessage);
}

// The unlock and lock statuses are not looked at: the utilities fail on
// flash chips without lock support, which are still writable.
void ApplicationUpdater::UnlockFileSystem()
{
    printLine(unlockMessage);
    runShellCommand(StdString(unlockCommand) + m_serialFlashForRootfs + lockRange);
}

int32 ApplicationUpdater::ErasePartition(StdString deviceToErase)
{
    printLine(eraseMessage + deviceToErase);
    const int32 status = runShellCommand(StdString(eraseCommand) + deviceToErase + eraseRange);
    printLine(status);
    return status;
}

int32 ApplicationUpdater::CopyPartition(StdString deviceToCopyTo, StdString fileToCopy)
{
    printLine(writeMessage + fileToCopy + writeMessageTo + deviceToCopyTo);
    const int32 status = runShellCommand(StdString(writeCommand) + m_pathToImages + fileToCopy +
                                         writeCommandTo + deviceToCopyTo);
    printLine(status);
    return status;
}

void ApplicationUpdater::LockFileSystem()
{
    printLine(lockMessage);
    runShellCommand(StdString(lockCommand) + m_serialFlashForRootfs + lockRange);
}

const std::map<StdString, StdString>& ApplicationUpdater::GetPartitionMap() const
{
    return m_possibleFiles;
}

const std::map<StdString, StdString>& ApplicationUpdater::GetFilesInManifest() const
{
    return m_filesInManifest;
}

const std::vector<StdString>& ApplicationUpdater::GetOrderedFileList() const
{
    return m_orderedFileList;
}

const std::vector<StdString>& ApplicationUpdater::GetRejectedFileList() const
{
    return m_rejectedFileList;
}

const StdString& ApplicationUpdater::GetVersionInManifest() const
{
    return m_versionInManifest;
}

bool ApplicationUpdater::IsTarBallPackage() const
{
    return m_tarBallInManifest;
}
