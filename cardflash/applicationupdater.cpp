#include "applicationupdater.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "Stat.h"
#include "cardtext.h"
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
const StdString ApplicationUpdater::m_rootTrustedKeysFileName = "/etc/lumo/keys/manifest.pub";
const StdString ApplicationUpdater::m_tarBallCopyFolder = "/tmp";
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
const char8* const updateIncompleteMessage = "UPDATE INCOMPLETE";
const char8* const imageRejectedMessage = "IMAGE REJECTED: ";
const char8* const moreRejectedMessage = "MORE IMAGES REJECTED: ";
const char8* const tarBallTooLargeMessage = "TAR BALL DOES NOT FIT IN ";
const char8* const nothingInstalledMessage = "NOTHING INSTALLED FROM THE TAR BALL";
const char8* const noImageToWriteMessage = "NO IMAGE TO WRITE";
const char8* const signatureMissingMessage = "SIGNATURE MISSING";
const char8* const signatureInvalidMessage = "SIGNATURE INVALID";
const char8* const memoryNotLockedMessage = "CANNOT KEEP THE UPDATER IN MEMORY";
const char8* const partitionInUseMessage = "PARTITION IN USE: ";
const char8* const imagesDoNotFitMessage = "IMAGES DO NOT FIT IN RAM";

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
// A boot-set file's manifest line names it with this in place of the
// separator: units that do not know boot-set lines skip a name that is no
// image and holds no separator (they refuse one with a separator).
const char8 bootSetLineSeparator = ':';
// However many names a card gets rejected, only this many are kept to be
// shown; the rest are counted.
const size_t mostRejectedShown = 100;

// A field is copied as a zero-terminated text: a NUL byte ends it.
StdString fieldOf(std::string_view line, size_t first, size_t end)
{
    std::string_view field = line.substr(first, end - first);
    field = field.substr(0, field.find('\0'));
    StdString text;
    text.assign(field.data(), field.size());
    return text;
}

// The end of the field that starts at `first`: the next comma, or the line's end.
size_t fieldEnd(std::string_view line, size_t first)
{
    const size_t comma = line.find(manifestDelimiter, first);
    return comma == std::string_view::npos ? line.size() : comma;
}

// Cuts a manifest line into its name, its value and its third field, which
// is trimmed and empty when absent (fields after the third are ignored).
// False when the line has no comma, so it is no entry.
bool splitManifestLine(std::string_view line, StdString& name, StdString& value,
                       StdString& digestField)
{
    const size_t firstComma = line.find(manifestDelimiter);
    if (firstComma == std::string_view::npos) {
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

// Anything at the path, or any doubt whether something is there.
bool somethingAt(const StdString& path)
{
    Stat status;
    return status.lstat(path) || errno != ENOENT;
}

// Images live directly in the image directory; a name that walks out of it
// must never get its target verified or written.
bool leavesImageDirectory(const StdString& name)
{
    return name.find(pathSeparator) != std::string::npos || name == "." || name == "..";
}

} // namespace

ApplicationUpdater::ApplicationUpdater()
    : m_rejectedCount(0), m_tarBallInManifest(false), m_tarBallCheck(TarBallCheck::NotDone),
      m_tarBallDamaged(false), m_writingStarted(false), m_signedPackage(false),
      m_manifestRead(false), m_manifestAccepted(false), m_copyImages(false), m_imagesDoNotFit(false)
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

// Each reading of the card ends with the line its reader waits for, even
// when the tool runs out of memory on the way.
void ApplicationUpdater::GetVersion()
{
    try {
        GetFilesToUpdateFromManifest();
        printLine(shownCardText(m_versionInManifest));
    } catch (const std::exception&) {
        printLine("");
    }
}

void ApplicationUpdater::ValidateInstallationMedia()
{
    try {
        GetFilesToUpdateFromManifest();
        if (m_tarBallInManifest) {
            printLine(checkTarBall() ? tarBallVerdict : invalidVerdict);
        } else if (m_rejectedCount == 0 && HasImageToWrite()) {
            printLine(flashVerdict);
        } else {
            printLine(invalidVerdict);
        }
    } catch (const std::exception&) {
        printLine(invalidVerdict);
    }
}

// The display waits for the last line on both paths: a tar ball ends like
// a flash. Its card stays mounted, so that the display still finds the
// manifest when it reads that line.
bool ApplicationUpdater::ExecuteUpdate()
{
    try {
        m_copyImages = true;
        if (!GetFilesToUpdateFromManifest()) {
            return FlashFailed();
        }
        return m_tarBallInManifest ? UpdateFromTarBall() : UpdateImages();
    } catch (const std::exception&) {
        return FlashFailed();
    }
}

bool ApplicationUpdater::UpdateImages()
{
    if (m_imagesDoNotFit) {
        printLine(imagesDoNotFitMessage);
        return FlashFailed();
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

bool ApplicationUpdater::UpdateFromTarBall()
{
    if (!checkTarBall()) {
        if (m_tarBallCheck == TarBallCheck::Rejected) {
            printLine(imageRejectedMessage + m_tarBallFileName);
        }
        return FlashFailed();
    }
    const ExtractionResult result = uncompressTarBall();
    if (!result.wroteSomething) {
        printLine(nothingInstalledMessage);
    }
    return FlashResult(result.complete);
}

bool ApplicationUpdater::FlashResult(bool completed)
{
    if (!completed) {
        return FlashFailed();
    }
    printLine(kFlashCompleteLine);
    return true;
}

// The display tells a refused package, which left the unit as it was, from
// an update that stopped half-way by the line before the last.
bool ApplicationUpdater::FlashFailed()
{
    if (m_writingStarted) {
        printLine(updateIncompleteMessage);
    }
    printLine(kFlashFailedLine);
    return false;
}

void ApplicationUpdater::RejectImage(const StdString& name)
{
    ++m_rejectedCount;
    if (m_rejectedFileList.size() < mostRejectedShown) {
        m_rejectedFileList.push_back(shownCardName(name).c_str());
    }
}

bool ApplicationUpdater::ReportRejectedImages()
{
    for (const StdString& name : m_rejectedFileList) {
        printLine(imageRejectedMessage + name);
    }
    if (m_rejectedCount > m_rejectedFileList.size()) {
        printLine(moreRejectedMessage +
                  std::to_string(m_rejectedCount - m_rejectedFileList.size()));
    }
    return m_rejectedCount != 0;
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
    if (m_tarBallCheck == TarBallCheck::NotDone) {
        m_tarBallCheck = CheckAndCopyTarBall();
    }
    return m_tarBallCheck == TarBallCheck::Verified;
}

// The install action checks the tar ball before anything else has read the
// manifest; then this is the one reading of it, and it stays quiet about a
// missing card. The copy is what gets unpacked, whatever the card gives
// on a later read.
ApplicationUpdater::TarBallCheck ApplicationUpdater::CheckAndCopyTarBall()
{
    if (!m_manifestRead && !CardHoldsManifest()) {
        return TarBallCheck::Rejected;
    }
    FileSystem fileSystem;
    if (!ProcessManifestFile(&fileSystem) || !m_tarBallInManifest || m_tarBallCheckSum.IsEmpty() ||
        (m_signedPackage && m_tarBallDigestField.IsEmpty())) {
        return TarBallCheck::Rejected;
    }
    const bool copyMade = m_tarBallCopy.create(m_tarBallCopyFolder);
    const ImageDigests digests =
        copyMade ? ReadDigests(m_pathToSDCard + m_tarBallFileName, true, &m_tarBallCopy)
                 : ImageDigests();
    if (!copyMade || m_tarBallCopy.writeFailed()) {
        printLine(tarBallTooLargeMessage + m_tarBallCopyFolder);
        return TarBallCheck::NoRoom;
    }
    return Matches(digests, m_tarBallCheckSum, m_tarBallDigestField) ? TarBallCheck::Verified
                                                                     : TarBallCheck::Rejected;
}

ExtractionResult ApplicationUpdater::uncompressTarBall()
{
    ExtractionResult result;
    if (checkTarBall()) {
        FileSystem fileSystem;
        result = fileSystem.uncompressTarGz(m_tarBallCopy.rewound(), extractionRoot);
    }
    m_writingStarted = m_writingStarted || result.wroteSomething;
    m_tarBallDamaged = result.damaged;
    return result;
}

ExtractionResult ApplicationUpdater::InstallTarBall()
{
    SDCardHandler sdCard;
    if (!sdCard.IsMounted()) {
        sdCard.Mount();
    }
    // Only an unpacked tar ball counts as installed; mounting alone is not.
    ExtractionResult result;
    if (sdCard.IsAvailable() && sdCard.IsMounted()) {
        result = uncompressTarBall();
    }
    sdCard.UnMount();
    return result;
}

bool ApplicationUpdater::TarBallDamaged() const
{
    return m_tarBallDamaged;
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

// Anything at either key path, even a broken link, makes the unit a signed
// one, and so does any doubt whether something is there: a key file that
// cannot be read must refuse, never let unsigned packages in. The root file
// system's key outlives a damaged application file system.
bool ApplicationUpdater::ManifestIsTrusted(const std::string& manifest)
{
    m_signedPackage = somethingAt(m_trustedKeysFileName) || somethingAt(m_rootTrustedKeysFileName);
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
    const bool trusted =
        fileSystem.readFileBytes(signatureFileName, kEd25519SignatureSize, signature) &&
        anyKeyVerifies(TrustedKeys(), manifest, signature);
    if (!trusted) {
        printLine(signatureInvalidMessage);
    }
    return trusted;
}

// A key file that is not made only of well-formed keys gives none.
std::vector<std::string> ApplicationUpdater::TrustedKeys()
{
    FileSystem fileSystem;
    std::vector<std::string> trusted;
    for (const StdString& keyFileName : {m_trustedKeysFileName, m_rootTrustedKeysFileName}) {
        std::string keyText;
        std::vector<std::string> keys;
        if (fileSystem.readFileBytes(keyFileName, longestKeyFile, keyText) &&
            readEd25519PublicKeys(keyText, keys)) {
            trusted.insert(trusted.end(), keys.begin(), keys.end());
        }
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
        const std::string_view line(manifest.data() + lineStart, lineEnd - lineStart);
        ProcessManifestLine(line.substr(0, line.find('\0')));
        lineStart = lineEnd + 1;
    }
}

// Only names the partition map writes are verified: no other name is ever
// written, and a card of millions of them must not cost a file lookup each.
void ApplicationUpdater::ProcessManifestLine(std::string_view line)
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
    if (IsBootSetLine(fileName)) {
        m_bootSetLines[fileName] = {checkSum, digestField};
        return;
    }
    if (leavesImageDirectory(fileName)) {
        RejectImage(fileName);
        return;
    }
    if (FlashDeviceFor(fileName).IsEmpty()) {
        return;
    }
    if (m_signedPackage && digestField.IsEmpty()) {
        RejectImage(fileName);
        return;
    }
    const ImageDigests& digests = DigestsOf(fileName, !digestField.IsEmpty());
    if (m_imagesDoNotFit) {
        return;
    }
    if (!Matches(digests, checkSum, digestField)) {
        RejectImage(fileName);
        return;
    }
    m_orderedFileList.push_back(fileName);
    m_filesInManifest[fileName] = checkSum;
    m_imageSizes[fileName] = digests.length;
    if (!digestField.IsEmpty()) {
        m_sha256InManifest[fileName] = digestField.substr(std::strlen(sha256FieldPrefix));
    }
}

bool ApplicationUpdater::CheckFile(StdString fileName, StdString checkSum, StdString digestField)
{
    return Matches(ReadDigests(fileName, !StdString(digestField.c_str()).Trim().IsEmpty()),
                   checkSum, digestField);
}

// An image is read from the card once however many lines name it. A later
// line that asks for the SHA-256 that the first reading left out gets it
// from the update's copy, or without one from a second reading. One that
// could not be read is not tried again.
const ApplicationUpdater::ImageDigests& ApplicationUpdater::DigestsOf(const StdString& name,
                                                                      bool sha256Wanted)
{
    const auto known = m_imageDigests.find(name);
    if (known == m_imageDigests.end()) {
        return m_imageDigests[name] = FirstReading(name, sha256Wanted);
    }
    if (sha256Wanted && known->second.readable && !known->second.sha256Known) {
        known->second =
            ReadDigests(m_copyImages ? m_imageCopies.PathOf(name) : m_pathToImages + name, true);
    }
    return known->second;
}

// The update keeps what it reads: the copy is what gets written.
ApplicationUpdater::ImageDigests ApplicationUpdater::FirstReading(const StdString& name,
                                                                  bool sha256Wanted)
{
    if (!m_copyImages) {
        return ReadDigests(m_pathToImages + name, sha256Wanted);
    }
    PrivateFile copy;
    if (!m_imageCopies.Open(name, copy)) {
        m_imagesDoNotFit = true;
        return ImageDigests();
    }
    ImageDigests digests = ReadDigests(m_pathToImages + name, sha256Wanted, &copy);
    if (copy.writeFailed()) {
        m_imagesDoNotFit = true;
        digests.readable = false;
    }
    return digests;
}

// A folder or a device node is no image, whatever checksum it gives.
// Without a SHA-256 to check only the legacy text is worked out, as before:
// the SHA-256 of every byte costs the unit's slow processor dearly. Without
// a copy to make, that reading stops at the first zero byte, and the length
// is the size the file had when it was looked at.
ApplicationUpdater::ImageDigests
ApplicationUpdater::ReadDigests(const StdString& fileName, bool sha256Wanted, PrivateFile* copy)
{
    ImageDigests digests;
    SDCardHandler sdCard;
    Stat fileStatus;
    if (!sdCard.IsAvailable() || !sdCard.IsMounted() || !fileStatus.isRegularFile(fileName)) {
        return digests;
    }
    FileSystem fileSystem;
    if (!sha256Wanted && copy == nullptr) {
        digests.checkSums = fileSystem.getFileCheckSums(fileName);
        digests.length = fileStatus.size();
        digests.readable = true;
        return digests;
    }
    digests.readable = fileSystem.getFileDigests(fileName, digests.checkSums, digests.sha256,
                                                 digests.length, copy, sha256Wanted);
    digests.sha256Known = digests.readable && sha256Wanted;
    return digests;
}

// A third field that is not exactly "sha256:" and 64 lowercase hex digits can
// never equal what is computed, so a check this version cannot make fails.
bool ApplicationUpdater::Matches(const ImageDigests& digests, const StdString& checkSum,
                                 const StdString& digestField)
{
    StdString expectedDigest(digestField.c_str());
    StdString expected(checkSum.c_str());
    StdString calculated(digests.checkSums.c_str());
    if (!digests.readable || expected.Trim() != calculated.Trim()) {
        return false;
    }
    return expectedDigest.Trim().IsEmpty() ||
           (digests.sha256Known &&
            expectedDigest == StdString(sha256FieldPrefix) + digests.sha256.c_str());
}

StdString ApplicationUpdater::FlashDeviceFor(const StdString& fileName)
{
    const auto entry = m_possibleFiles.find(fileName);
    if (entry == m_possibleFiles.end() || entry->second.Find(flashDeviceMarker) <= 0) {
        return StdString();
    }
    return entry->second;
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

StdString ApplicationUpdater::BootSetLineName(const StdString& cardName)
{
    StdString lineName = cardName;
    std::replace(lineName.begin(), lineName.end(), pathSeparator, bootSetLineSeparator);
    return lineName;
}

bool ApplicationUpdater::IsBootSetLine(const StdString& name)
{
    for (const StdString& cardName : m_cardBootSet) {
        if (name == BootSetLineName(cardName)) {
            return true;
        }
    }
    return false;
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
