#include "applicationupdater.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "Stat.h"
#include "console.h"
#include "filesystem.h"
#include "manifestsignature.h"
#include "runningsystem.h"
#include "sdcardhandler.h"

const StdString ApplicationUpdater::m_pathToSDCard = "/mnt/sd-card/";
const StdString ApplicationUpdater::m_pathToImages = "/images/";
const StdString ApplicationUpdater::m_manifestFileName = "lumoManifest";
const StdString ApplicationUpdater::m_signatureFileName = "lumoManifest.sig";
const StdString ApplicationUpdater::m_trustedKeysFileName = "/usr/share/lumo/keys/manifest.pub";
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
const std::vector<StdString> ApplicationUpdater::m_cardBootSet = {
    "boot/zImage", "boot/at91sam9g35ek.dtb", "boot/recovery.cpio.gz"};
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
const char8* const readBackFailedMessage = "READ-BACK FAILED: ";
const char8* const signatureMissingMessage = "SIGNATURE MISSING";
const char8* const signatureInvalidMessage = "SIGNATURE INVALID";
const char8* const bootstrapRemovedMessage = "BOOTSTRAP REMOVED";
const char8* const bootstrapNotRemovedMessage = "BOOTSTRAP NOT REMOVED";
const char8* const memoryNotLockedMessage = "CANNOT KEEP THE UPDATER IN MEMORY";
const char8* const partitionInUseMessage = "PARTITION IN USE: ";

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
const char8 manifestLineEnd = '\n';
const char8* const sha256FieldPrefix = "sha256:";
// A manifest is a few lines; one longer than this is taken as unreadable,
// so that a card cannot make the unit hold more than that in memory. A key
// file is a few PEM blocks.
const size_t longestManifest = size_t{16} * 1024 * 1024;
const size_t longestKeyFile = std::size_t{64} * 1024;
const char8* const flashDeviceMarker = "dev";
const char8* const extractionRoot = "/";
const char8 pathSeparator = '/';
const size_t longestPrintedName = 64;

// A field is copied as a zero-terminated text: a NUL byte ends it.
StdString fieldOf(const std::string& line, size_t first, size_t end)
{
    return StdString(line.substr(first, end - first).c_str());
}

// The end of the field that starts at `first`: the next comma, or the line's end.
size_t fieldEnd(const std::string& line, size_t first)
{
    const size_t comma = line.find(manifestDelimiter, first);
    return comma == std::string::npos ? line.size() : comma;
}

// Cuts a manifest line into its name, its value and its third field, which
// is trimmed and empty when absent (fields after the third are ignored).
// False when the line has no comma, so it is no entry.
bool splitManifestLine(const std::string& line, StdString& name, StdString& value,
                       StdString& digestField)
{
    const size_t firstComma = line.find(manifestDelimiter);
    if (firstComma == std::string::npos) {
        return false;
    }
    const size_t secondComma = fieldEnd(line, firstComma + 1);
    name = fieldOf(line, 0, firstComma);
    value = fieldOf(line, firstComma + 1, secondComma);
    digestField.Empty();
    if (secondComma < line.size()) {
        digestField = fieldOf(line, secondComma + 1, fieldEnd(line, secondComma + 1));
        digestField.Trim();
    }
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

ApplicationUpdater::ApplicationUpdater()
    : m_tarBallInManifest(false), m_signedPackage(false), m_manifestRead(false),
      m_manifestAccepted(false)
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

// The display waits for the last line on both paths: a tar ball ends like
// a flash. Its card stays mounted, so that the display still finds the
// manifest when it reads that line.
bool ApplicationUpdater::ExecuteUpdate()
{
    if (!GetFilesToUpdateFromManifest()) {
        return FlashFailed();
    }
    if (m_tarBallInManifest) {
        return FlashResult(uncompressTarBall(flashFailedMessage));
    }
    if (ReportRejectedImages()) {
        return FlashFailed();
    }
    if (!HasImageToWrite()) {
        printLine(noImageToWriteMessage);
        return FlashFailed();
    }
    if (!PrepareFlashing()) {
        return FlashFailed();
    }
    return FlashResult(CopyTheFilesToSerialFlash());
}

// The unit runs from the flash that is about to be rewritten: from the
// first erase on, the update must not need the old file systems any more,
// and nothing may write to them. Whatever stands in the way is found before
// anything is touched.
bool ApplicationUpdater::PrepareFlashing()
{
    StdString problem;
    if (!m_flashUtilities.Prepare(problem)) {
        printLine(problem);
        return false;
    }
    if (!RunningSystem::KeepThisProcessInMemory()) {
        printLine(memoryNotLockedMessage);
        return false;
    }
    StdString busyDevice;
    if (!RunningSystem::StopWritesTo(DevicesToWrite(), busyDevice)) {
        printLine(partitionInUseMessage + busyDevice);
        return false;
    }
    return true;
}

std::vector<StdString> ApplicationUpdater::DevicesToWrite()
{
    std::vector<StdString> devices;
    for (const StdString& name : m_orderedFileList) {
        const StdString flashDevice = FlashDeviceFor(name);
        if (!flashDevice.IsEmpty()) {
            devices.push_back(flashDevice);
        }
    }
    return devices;
}

bool ApplicationUpdater::FlashResult(bool completed)
{
    if (!completed) {
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

// The install action checks the tar ball before anything else has read the
// manifest; then this is the one reading of it, and it stays quiet about a
// missing card.
bool ApplicationUpdater::checkTarBall()
{
    if (!m_manifestRead && !CardHoldsManifest()) {
        return false;
    }
    FileSystem fileSystem;
    if (!ProcessManifestFile(&fileSystem) || !m_tarBallInManifest || m_tarBallCheckSum.IsEmpty() ||
        (m_signedPackage && m_tarBallDigestField.IsEmpty())) {
        return false;
    }
    std::uint64_t length = 0;
    return VerifyFile(m_pathToSDCard + m_tarBallFileName, m_tarBallCheckSum, m_tarBallDigestField,
                      length);
}

bool ApplicationUpdater::uncompressTarBall(const char8* lastLineOnFatalError)
{
    if (!checkTarBall()) {
        return false;
    }
    FileSystem fileSystem;
    return fileSystem.uncompressTarGz(m_pathToSDCard + m_tarBallFileName, extractionRoot,
                                      lastLineOnFatalError);
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

bool ApplicationUpdater::CardHoldsManifest()
{
    SDCardHandler sdCard;
    FileSystem fileSystem;
    return sdCard.IsAvailable() && sdCard.IsMounted() &&
           fileSystem.fileExists(getManifestFileName());
}

bool ApplicationUpdater::GetFilesToUpdateFromManifest()
{
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
    return ProcessManifestFile(&fileSystem);
}

// One reading per updater. A manifest that cannot be read is taken as an
// empty one, which names nothing to write and no signature verifies.
bool ApplicationUpdater::ProcessManifestFile(FileSystem* localFileSystem)
{
    if (m_manifestRead) {
        return m_manifestAccepted;
    }
    m_manifestRead = true;
    std::string manifest;
    (void)localFileSystem->readFileBytes(getManifestFileName(), longestManifest, manifest);
    m_manifestAccepted = ManifestIsTrusted(manifest);
    if (m_manifestAccepted) {
        ProcessManifestText(manifest);
    }
    return m_manifestAccepted;
}

// Anything at the keys' path, even a broken link, makes the unit a signed
// one, and so does any doubt whether something is there: a key file that
// cannot be read must refuse, never let unsigned packages in.
bool ApplicationUpdater::ManifestIsTrusted(const std::string& manifest)
{
    Stat keyFile;
    m_signedPackage = keyFile.lstat(m_trustedKeysFileName) || errno != ENOENT;
    if (!m_signedPackage) {
        return true;
    }
    FileSystem fileSystem;
    const StdString signatureFileName = m_pathToSDCard + m_signatureFileName;
    if (!fileSystem.fileExists(signatureFileName)) {
        printLine(signatureMissingMessage);
        return false;
    }
    std::string signature;
    std::string keyText;
    std::vector<std::string> keys;
    const bool trusted =
        fileSystem.readFileBytes(signatureFileName, kEd25519SignatureSize, signature) &&
        fileSystem.readFileBytes(m_trustedKeysFileName, longestKeyFile, keyText) &&
        readEd25519PublicKeys(keyText, keys) && anyKeyVerifies(keys, manifest, signature);
    if (!trusted) {
        printLine(signatureInvalidMessage);
    }
    return trusted;
}

// Lines end at line feeds, the last one also without; a line is taken up
// to its first NUL.
void ApplicationUpdater::ProcessManifestText(const std::string& manifest)
{
    size_t lineStart = 0;
    while (lineStart < manifest.size()) {
        size_t lineEnd = manifest.find(manifestLineEnd, lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = manifest.size();
        }
        ProcessManifestLine(StdString(manifest.substr(lineStart, lineEnd - lineStart).c_str()));
        lineStart = lineEnd + 1;
    }
}

void ApplicationUpdater::ProcessManifestLine(const StdString& line)
{
    StdString fileName;
    StdString checkSum;
    StdString digestField;
    if (!splitManifestLine(line, fileName, checkSum, digestField) || fileName.IsEmpty()) {
        return;
    }
    if (fileName == m_versionLine) {
        m_versionInManifest = checkSum;
    }
    if (fileName == m_tarBallFileName) {
        m_tarBallInManifest = true;
        m_tarBallCheckSum = checkSum;
        m_tarBallDigestField = digestField;
    }
    if (leavesImageDirectory(fileName)) {
        m_rejectedFileList.push_back(fileName);
        return;
    }
    const bool digestMissing = m_signedPackage && digestField.IsEmpty();
    std::uint64_t length = 0;
    if (!digestMissing && VerifyFile(m_pathToImages + fileName, checkSum, digestField, length)) {
        m_orderedFileList.push_back(fileName);
        m_filesInManifest[fileName] = checkSum;
        if (!digestField.IsEmpty()) {
            m_sha256InManifest[fileName] = digestField.substr(std::strlen(sha256FieldPrefix));
            m_imageSizes[fileName] = length;
        }
    } else if (!FlashDeviceFor(fileName).IsEmpty()) {
        m_rejectedFileList.push_back(fileName);
    }
}

bool ApplicationUpdater::CheckFile(StdString fileName, StdString checkSum, StdString digestField)
{
    std::uint64_t length = 0;
    return VerifyFile(fileName, checkSum, digestField, length);
}

bool ApplicationUpdater::VerifyFile(const StdString& fileName, const StdString& checkSum,
                                    const StdString& digestField, std::uint64_t& length)
{
    SDCardHandler sdCard;
    if (!sdCard.IsAvailable() || !sdCard.IsMounted()) {
        return false;
    }
    return MatchesDigests(fileName, checkSum, digestField, length);
}

// A folder or a device node is no image, whatever checksum it gives. A
// third field that is not exactly "sha256:" and 64 lowercase hex digits can
// never equal what is computed, so a check this version cannot make fails.
// Without a third field only the legacy text is worked out, as before: the
// SHA-256 of every byte costs the unit's slow processor dearly.
bool ApplicationUpdater::MatchesDigests(const StdString& fileName, const StdString& checkSum,
                                        const StdString& digestField, std::uint64_t& length)
{
    Stat fileStatus;
    if (!fileStatus.isRegularFile(fileName)) {
        return false;
    }
    StdString expectedDigest(digestField.c_str());
    const bool wholeImageDigest = !expectedDigest.Trim().IsEmpty();
    FileSystem fileSystem;
    std::string calculatedCheckSums;
    std::string calculatedSha256;
    if (!wholeImageDigest) {
        calculatedCheckSums = fileSystem.getFileCheckSums(fileName);
    } else if (!fileSystem.getFileDigests(fileName, calculatedCheckSums, calculatedSha256,
                                          length)) {
        return false;
    }
    StdString expected(checkSum.c_str());
    StdString calculated(calculatedCheckSums.c_str());
    if (expected.Trim() != calculated.Trim()) {
        return false;
    }
    return !wholeImageDigest ||
           expectedDigest == StdString(sha256FieldPrefix) + calculatedSha256.c_str();
}

StdString ApplicationUpdater::FlashDeviceFor(const StdString& fileName)
{
    const StdString value = m_possibleFiles[fileName];
    return value.Find(flashDeviceMarker) > 0 ? value : StdString();
}

// With a boot set on the card, the bootstrap is erased first and written
// last: until the boot chain in flash is whole again, the processor's ROM
// finds no bootstrap and boots from the card, which runs the update again.
// Whenever the power goes, the unit comes back.
bool ApplicationUpdater::CopyTheFilesToSerialFlash()
{
    bool everyImageWritten = true;
    UnlockFileSystem();
    const bool bootstrapLast = BootstrapWrittenLast();
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
        everyImageWritten =
            WriteErasedPartition(m_bootStrapFileName, m_serialFlashForBootstrap) &&
            everyImageWritten;
    }
    LockFileSystem();
    return everyImageWritten;
}

bool ApplicationUpdater::BootstrapWrittenLast()
{
    FileSystem fileSystem;
    for (const StdString& name : m_cardBootSet) {
        if (!fileSystem.fileExists(m_pathToSDCard + name)) {
            return false;
        }
    }
    for (const StdString& name : m_orderedFileList) {
        if (name == m_bootStrapFileName) {
            return true;
        }
    }
    return false;
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
    return m_sha256InManifest.count(name) != 0 ? ReadBackMatches(name, flashDevice)
                                                : ImageUnchanged(name);
}

// flashcp has compared the partition with the file; the partition itself
// must now hold what the manifest describes, and no more: a file that grew
// after it was verified has put its extra bytes behind the image.
bool ApplicationUpdater::ReadBackMatches(const StdString& name, const StdString& flashDevice)
{
    FileSystem fileSystem;
    Stat image;
    std::string written;
    if (image.stat(m_pathToImages + name) && image.size() == m_imageSizes[name] &&
        fileSystem.getLeadingSha256(flashDevice, m_imageSizes[name], written) &&
        written == m_sha256InManifest[name]) {
        return true;
    }
    printLine(readBackFailedMessage + printableName(name));
    return false;
}

// Without a whole-image digest, only the file can be looked at again: it
// must still be the one that was verified before anything was touched.
bool ApplicationUpdater::ImageUnchanged(const StdString& name)
{
    std::uint64_t length = 0;
    if (MatchesDigests(m_pathToImages + name, m_filesInManifest[name], StdString(), length)) {
        return true;
    }
    printLine(imageRejectedMessage + printableName(name));
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
    printLine(eraseMessage + deviceToErase);
    const int32 status = m_flashUtilities.Run(StdString(eraseCommand) + deviceToErase + eraseRange);
    printLine(status);
    return status;
}

int32 ApplicationUpdater::CopyPartition(StdString deviceToCopyTo, StdString fileToCopy)
{
    printLine(writeMessage + fileToCopy + writeMessageTo + deviceToCopyTo);
    const int32 status = m_flashUtilities.Run(StdString(writeCommand) + m_pathToImages + fileToCopy +
                                         writeCommandTo + deviceToCopyTo);
    printLine(status);
    return status;
}

void ApplicationUpdater::LockFileSystem()
{
    printLine(lockMessage);
    m_flashUtilities.Run(StdString(lockCommand) + m_serialFlashForRootfs + lockRange);
}

const std::vector<StdString>& ApplicationUpdater::GetRejectedFileList() const
{
    return m_rejectedFileList;
}

StdString ApplicationUpdater::ManifestFileName()
{
    return m_manifestFileName;
}

StdString ApplicationUpdater::SignatureFileName()
{
    return m_signatureFileName;
}

StdString ApplicationUpdater::TarBallFileName()
{
    return m_tarBallFileName;
}

StdString ApplicationUpdater::VersionLine()
{
    return m_versionLine;
}

StdString ApplicationUpdater::Sha256FieldPrefix()
{
    return sha256FieldPrefix;
}

std::vector<StdString> ApplicationUpdater::CardBootSetNames()
{
    return m_cardBootSet;
}

std::vector<StdString> ApplicationUpdater::KnownImageNames()
{
    ApplicationUpdater updater;
    std::vector<StdString> names;
    for (const auto& entry : updater.m_possibleFiles) {
        if (!updater.FlashDeviceFor(entry.first).IsEmpty()) {
            names.push_back(entry.first);
        }
    }
    return names;
}
