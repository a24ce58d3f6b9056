#include "applicationupdater.h"

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cardtext.h"
#include "console.h"
#include "filesystem.h"
#include "keptbootstrap.h"
#include "mtddevice.h"
#include "packagetrust.h"
#include "partitionmap.h"
#include "runningsystem.h"
#include "sdcardhandler.h"
#include "statuslines.h"
#include "unitidentity.h"

namespace
{

const char8* const sdCardNotAvailableMessage = "The sdcard is not available!";
const int32 sdCardNotAvailableCode = 324;
const char8* const sdCardNotMountedMessage = "The sdcard could not be mounted!";
const char8* const noManifestMessage = "NO MANIFEST";
const char8* const tarBallVerdict = "TARBALL";
const char8* const flashVerdict = "FLASH";
const char8* const invalidVerdict = "INVALID";
const char8* const imageRejectedMessage = "IMAGE REJECTED: ";
const char8* const moreRejectedMessage = "MORE IMAGES REJECTED: ";
const char8* const tarBallTooLargeMessage = "TAR BALL DOES NOT FIT IN ";
const char8* const nothingInstalledMessage = "NOTHING INSTALLED FROM THE TAR BALL";
const char8* const noImageToWriteMessage = "NO IMAGE TO WRITE";
const char8* const signatureMissingMessage = "SIGNATURE MISSING";
const char8* const signatureInvalidMessage = "SIGNATURE INVALID";
const char8* const bootstrapRemovedMessage = "BOOTSTRAP REMOVED";
const char8* const bootstrapNotRemovedMessage = "BOOTSTRAP NOT REMOVED";
const char8* const memoryNotLockedMessage = "CANNOT KEEP THE UPDATER IN MEMORY";
const char8* const partitionInUseMessage = "PARTITION IN USE: ";
const char8* const imagesDoNotFitMessage = "IMAGES DO NOT FIT IN RAM";
const char8* const bootSetIgnoredMessage = "BOOT SET IGNORED";
const char8* const bootstrapNotKeptMessage = "CANNOT KEEP THE BOOTSTRAP";

const char8* const tarBallCopyFolder = "/tmp";
const char8* const extractionRoot = "/";
// However many names a card gets rejected, only this many are kept to be
// shown; the rest are counted.
const size_t mostRejectedShown = 100;

} // namespace

ApplicationUpdater::ApplicationUpdater()
    : m_rejectedCount(0), m_tarBallInManifest(false), m_tarBallCheck(TarBallCheck::NotDone),
      m_tarBallDamaged(false), m_tarBallWritten(false), m_signedPackage(false),
      m_manifestRead(false), m_manifestAccepted(false), m_flashSequence(m_flashUtilities)
{
    Initialize();
}

ApplicationUpdater::~ApplicationUpdater() {}

// The partition map is a fixed table of its own; nothing is left to fill.
void ApplicationUpdater::Initialize() {}

StdString ApplicationUpdater::getManifestFileName()
{
    return PartitionMap::CardFolder() + PartitionMap::ManifestFileName();
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
        const char8* verdict = invalidVerdict;
        if (m_identityRefusal.IsEmpty() && m_tarBallInManifest) {
            verdict = checkTarBall() ? tarBallVerdict : invalidVerdict;
        } else if (m_identityRefusal.IsEmpty() && m_rejectedCount == 0 && HasImageToWrite()) {
            verdict = flashVerdict;
        }
        printLine(verdict);
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
        m_imageDigests.KeepCopies();
        if (!GetFilesToUpdateFromManifest() || ReportIdentityRefusal()) {
            return FlashFailed();
        }
        return m_tarBallInManifest ? UpdateFromTarBall() : UpdateImages();
    } catch (const std::exception&) {
        return FlashFailed();
    }
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
    (void)localFileSystem->readFileBytes(getManifestFileName(), kLongestManifest, manifest);
    m_manifestAccepted = ManifestIsTrusted(manifest);
    if (m_manifestAccepted) {
        // The package's identity is read before any image: a package for
        // another unit costs no reading of the card.
        m_identityRefusal = UnitIdentity::Refusal(UnitIdentity::ClaimOf(manifest));
    }
    ManifestReader reader(manifest);
    ManifestLine entry;
    while (m_manifestAccepted && reader.Next(entry)) {
        ProcessManifestEntry(entry);
    }
    return m_manifestAccepted;
}

bool ApplicationUpdater::ManifestIsTrusted(const std::string& manifest)
{
    const PackageTrust::Verdict verdict = PackageTrust::Judge(manifest);
    m_signedPackage = verdict != PackageTrust::Verdict::UnsignedUnit;
    if (verdict == PackageTrust::Verdict::SignatureMissing) {
        printLine(signatureMissingMessage);
    } else if (verdict == PackageTrust::Verdict::SignatureInvalid) {
        printLine(signatureInvalidMessage);
    }
    return verdict == PackageTrust::Verdict::UnsignedUnit ||
           verdict == PackageTrust::Verdict::Trusted;
}

// A package that this unit does not take is refused before anything else;
// false when it is.
bool ApplicationUpdater::ReportIdentityRefusal()
{
    if (m_identityRefusal.IsEmpty()) {
        return false;
    }
    printLine(m_identityRefusal);
    return true;
}

void ApplicationUpdater::ProcessManifestLine(std::string_view line)
{
    ManifestLine entry;
    if (ManifestReader::Split(line, entry)) {
        ProcessManifestEntry(entry);
    }
}

// Only names the partition map writes are verified: no other name is ever
// written, and a card of millions of them must not cost a file lookup each.
void ApplicationUpdater::ProcessManifestEntry(const ManifestLine& entry)
{
    if (entry.name == PartitionMap::VersionLine()) {
        m_versionInManifest = entry.value;
    }
    if (entry.name == PartitionMap::TarBallFileName()) {
        m_tarBallInManifest = true;
        m_tarBallLine = entry;
    }
    if (!m_identityRefusal.IsEmpty()) {
        return;
    }
    if (PartitionMap::IsBootSetLine(entry.name)) {
        m_bootSetLines[entry.name] = entry;
    } else if (ManifestReader::LeavesImageDirectory(entry.name)) {
        RejectImage(entry.name);
    } else if (!PartitionMap::DeviceFor(entry.name).IsEmpty()) {
        RecordImage(entry);
    }
}

// A signed package's image line must carry a SHA-256. Every line is
// checked, but an image is written once, in the place of its first line:
// a card of a million lines for one image must not cost a million erases of
// its partition, nor memory for each. An image that does not fit its
// partition is rejected before anything is erased.
void ApplicationUpdater::RecordImage(const ManifestLine& entry)
{
    if (m_signedPackage && entry.digestField.IsEmpty()) {
        RejectImage(entry.name);
        return;
    }
    const ImageDigests& digests =
        m_imageDigests.DigestsOf(entry.name, !entry.digestField.IsEmpty());
    if (m_imageDigests.OutOfRoom()) {
        return;
    }
    if (!ImageDigestCache::Matches(digests, entry.value, entry.digestField) ||
        !FitsItsPartition(entry.name, digests.length)) {
        RejectImage(entry.name);
        return;
    }
    if (m_filesInManifest.count(entry.name) == 0) {
        m_orderedFileList.push_back(entry.name);
        m_filesInManifest[entry.name] = entry.value;
        m_imageSizes[entry.name] = digests.length;
    }
    if (!entry.digestField.IsEmpty()) {
        m_sha256InManifest[entry.name] = ManifestReader::Sha256Of(entry.digestField);
    }
}

// A partition whose size cannot be told takes no image. Each is asked once.
bool ApplicationUpdater::FitsItsPartition(const StdString& name, std::uint64_t length)
{
    const StdString device = PartitionMap::DeviceFor(name);
    if (m_partitionSizes.count(device) == 0) {
        std::uint64_t size = 0;
        m_partitionSizes[device] = MtdDevice::Size(device, size) ? size : 0;
    }
    return length <= m_partitionSizes[device] && m_partitionSizes[device] > 0;
}

bool ApplicationUpdater::CheckFile(StdString fileName, StdString checkSum, StdString digestField)
{
    return ImageDigestCache::Matches(
        ImageDigestCache::ReadDigests(fileName, !StdString(digestField.c_str()).Trim().IsEmpty()),
        checkSum, digestField);
}

bool ApplicationUpdater::CardHoldsManifest()
{
    SDCardHandler sdCard;
    FileSystem fileSystem;
    return sdCard.IsAvailable() && sdCard.IsMounted() &&
           fileSystem.fileExists(getManifestFileName());
}

bool ApplicationUpdater::UpdateImages()
{
    if (m_imageDigests.OutOfRoom()) {
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
    return FlashResult(CopyTheFilesToSerialFlash());
}

// A partition that holds its image already is left alone: a card left in
// the slot, or a rerun after a power cut, writes only what is missing.
// A cut after the last image was written leaves only the unit's own
// bootstrap to put back. The bootstrap is kept before this process locks
// its pages, which leaves the unit less memory to give.
bool ApplicationUpdater::CopyTheFilesToSerialFlash()
{
    std::vector<FlashImage> images = ImagesToWrite();
    m_flashSequence.FindUnchanged(images);
    const bool bootstrapInPackage = PackageHoldsBootstrap();
    const bool bootstrapPending = !bootstrapInPackage && KeptBootstrap::Pending();
    const bool anythingToWrite = FlashSequence::AnythingToWrite(images) || bootstrapPending;
    const bool bootstrapLast = anythingToWrite && BootSetUsable();
    KeptBootstrap kept(m_imageDigests.Copies());
    if (!bootstrapInPackage && (bootstrapLast || bootstrapPending)) {
        FlashImage bootstrap;
        if (!kept.Keep(bootstrap)) {
            printLine(bootstrapNotKeptMessage);
            return false;
        }
        images.push_back(bootstrap);
    }
    if (anythingToWrite && !PrepareFlashing(images)) {
        kept.Release();
        return false;
    }
    const bool written = m_flashSequence.Write(images, bootstrapLast);
    if (written) {
        kept.Forget();
    }
    return written;
}

// The unit runs from the flash that is about to be rewritten: from the
// first erase on, the update must not need the old file systems any more,
// and nothing may write to the partitions it writes. Whatever stands in
// the way is found before anything is erased.
bool ApplicationUpdater::PrepareFlashing(const std::vector<FlashImage>& images)
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
    if (!RunningSystem::StopWritesTo(DevicesToWrite(images), busyDevice)) {
        printLine(partitionInUseMessage + busyDevice);
        return false;
    }
    return true;
}

bool ApplicationUpdater::PackageHoldsBootstrap()
{
    return m_filesInManifest.count(PartitionMap::BootstrapImage()) != 0;
}

std::vector<StdString> ApplicationUpdater::DevicesToWrite(const std::vector<FlashImage>& images)
{
    std::vector<StdString> devices;
    for (const FlashImage& image : images) {
        if (!image.unchanged) {
            devices.push_back(image.device);
        }
    }
    return devices;
}

bool ApplicationUpdater::HasImageToWrite()
{
    return !m_orderedFileList.empty();
}

bool ApplicationUpdater::FlashResult(bool completed)
{
    if (!completed) {
        return FlashFailed();
    }
    printLine(statuslines::kFlashComplete);
    return true;
}

// The display tells a refused package, which left the unit as it was, from
// an update that stopped half-way by the line before the last.
bool ApplicationUpdater::FlashFailed()
{
    if (m_flashSequence.WritingStarted() || m_tarBallWritten) {
        printLine(statuslines::kUpdateIncomplete);
    }
    printLine(statuslines::kFlashFailed);
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

const std::vector<StdString>& ApplicationUpdater::GetRejectedFileList() const
{
    return m_rejectedFileList;
}

std::vector<FlashImage> ApplicationUpdater::ImagesToWrite()
{
    std::vector<FlashImage> images;
    for (const StdString& name : m_orderedFileList) {
        FlashImage image;
        image.name = name;
        image.device = PartitionMap::DeviceFor(name);
        image.source = m_imageDigests.CopyOf(name);
        image.sourceIsCopy = true;
        image.length = m_imageSizes[name];
        image.wholeImageDigest = m_sha256InManifest.count(name) != 0;
        image.expected = image.wholeImageDigest ? m_sha256InManifest[name]
                                                : StdString(m_filesInManifest[name].c_str()).Trim();
        images.push_back(image);
    }
    return images;
}

// With a boot set on the card, the bootstrap is erased first and written
// last: until the boot chain in flash is whole again, the processor's ROM
// finds no bootstrap and boots from the card, which runs the update again.
// Whenever the power goes, the unit comes back. The ROM boots the boot set
// unchecked, so a boot set counts only when each of its files on the card is
// the one that the manifest names; a signed unit needs a signed SHA-256 for each. One that is there
// but does not count is said.
bool ApplicationUpdater::BootSetUsable()
{
    FileSystem fileSystem;
    bool anythingThere = !m_bootSetLines.empty();
    bool usable = true;
    for (const StdString& cardName : PartitionMap::CardBootSet()) {
        anythingThere =
            anythingThere || fileSystem.fileExists(PartitionMap::CardFolder() + cardName);
        usable = usable && BootSetFileMatches(cardName);
    }
    if (anythingThere && !usable) {
        printLine(bootSetIgnoredMessage);
    }
    return usable;
}

bool ApplicationUpdater::BootSetFileMatches(const StdString& cardName)
{
    const StdString path = PartitionMap::CardFolder() + cardName;
    const auto line = m_bootSetLines.find(PartitionMap::BootSetLineName(cardName));
    if (line == m_bootSetLines.end()) {
        FileSystem fileSystem;
        return !m_signedPackage && fileSystem.fileExists(path);
    }
    const ManifestLine& expected = line->second;
    return !(m_signedPackage && expected.digestField.IsEmpty()) &&
           ImageDigestCache::Matches(ImageDigestCache::ReadDigests(path, true), expected.value,
                                     expected.digestField);
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
    const int32 eraseStatus =
        ErasePartition(PartitionMap::DeviceFor(PartitionMap::BootstrapImage()));
    printLine(eraseStatus == 0 ? bootstrapRemovedMessage : bootstrapNotRemovedMessage);
}

void ApplicationUpdater::UnlockFileSystem()
{
    m_flashSequence.Unlock();
}

int32 ApplicationUpdater::ErasePartition(StdString deviceToErase)
{
    return m_flashSequence.Erase(deviceToErase);
}

int32 ApplicationUpdater::CopyPartition(StdString deviceToCopyTo, StdString fileToCopy)
{
    return m_flashSequence.Copy(deviceToCopyTo, fileToCopy, m_imageDigests.CopyOf(fileToCopy));
}

void ApplicationUpdater::LockFileSystem()
{
    m_flashSequence.Lock();
}

bool ApplicationUpdater::UpdateFromTarBall()
{
    if (!checkTarBall()) {
        if (m_tarBallCheck == TarBallCheck::Rejected) {
            printLine(imageRejectedMessage + PartitionMap::TarBallFileName());
        }
        return FlashFailed();
    }
    printLine(StdString(statuslines::kUnpacking) + PartitionMap::TarBallFileName());
    const ExtractionResult result = uncompressTarBall();
    if (!result.wroteSomething) {
        printLine(nothingInstalledMessage);
    }
    return FlashResult(result.complete);
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
    if (!ProcessManifestFile(&fileSystem) || ReportIdentityRefusal() || !m_tarBallInManifest ||
        m_tarBallLine.value.IsEmpty() || (m_signedPackage && m_tarBallLine.digestField.IsEmpty())) {
        return TarBallCheck::Rejected;
    }
    const bool copyMade = m_tarBallCopy.create(tarBallCopyFolder);
    const ImageDigests digests =
        copyMade ? ImageDigestCache::ReadDigests(PartitionMap::CardFolder() +
                                                     PartitionMap::TarBallFileName(),
                                                 true, &m_tarBallCopy)
                 : ImageDigests();
    if (!copyMade || m_tarBallCopy.writeFailed()) {
        printLine(tarBallTooLargeMessage + StdString(tarBallCopyFolder));
        return TarBallCheck::NoRoom;
    }
    return ImageDigestCache::Matches(digests, m_tarBallLine.value, m_tarBallLine.digestField)
               ? TarBallCheck::Verified
               : TarBallCheck::Rejected;
}

ExtractionResult ApplicationUpdater::uncompressTarBall()
{
    ExtractionResult result;
    if (checkTarBall()) {
        FileSystem fileSystem;
        result = fileSystem.uncompressTarGz(m_tarBallCopy.rewound(), extractionRoot);
    }
    m_tarBallWritten = m_tarBallWritten || result.wroteSomething;
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
