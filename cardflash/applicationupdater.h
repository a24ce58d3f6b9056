#ifndef APPLICATIONUPDATER_H
#define APPLICATIONUPDATER_H

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "StdString.h"
#include "filesystem.h"
#include "flashsequence.h"
#include "flashutilities.h"
#include "imagedigests.h"
#include "lumo_common.h"
#include "packagemanifest.h"
#include "privatefile.h"
#include "unitidentity.h"

// Reads the update package from the SD card, checks every image it names
// and writes the checked images into their flash partitions (or unpacks a
// tar-ball package), and tells each step on standard output. One instance
// serves one command-line action and reads the card's manifest once: the
// bytes whose signature is checked are the bytes that are parsed. Its
// collaborators do the work: the partition map, the manifest reader, the
// trust decision, the image digests and their copies, the flash sequence.
class ApplicationUpdater
{
public:
    ApplicationUpdater();
    virtual ~ApplicationUpdater();
    ApplicationUpdater(const ApplicationUpdater&) = delete;
    ApplicationUpdater& operator=(const ApplicationUpdater&) = delete;

    void Initialize();

    StdString getManifestFileName();
    void GetVersion();
    void ValidateInstallationMedia();
    bool ExecuteUpdate();
    // The first call reads the tar ball from the card into a private copy
    // while it checks it; every later call and the unpacking use that copy.
    bool checkTarBall();
    ExtractionResult uncompressTarBall();
    ExtractionResult InstallTarBall();
    // Whether the tar ball that was unpacked broke off (the run then ends
    // with status 1).
    [[nodiscard]] bool TarBallDamaged() const;

    // True when the manifest was read and accepted (the card is there,
    // mounted or mountable, holds a manifest, and the manifest is signed
    // when the unit holds trusted keys).
    bool GetFilesToUpdateFromManifest();
    bool ProcessManifestFile(FileSystem* localFileSystem);
    void ProcessManifestLine(std::string_view line);

    // `digestField` is a manifest line's third field: empty, or "sha256:"
    // and the SHA-256 of the whole file; any other text never matches.
    [[nodiscard]] static bool CheckFile(StdString fileName, StdString checkSum,
                                        StdString digestField = StdString());

    void RemoveBootstrap();

    // The names that did not verify or could leave the image directory, as
    // they are shown: the first ones of them only, however many the card
    // brings.
    const std::vector<StdString>& GetRejectedFileList() const;

private:
    enum class TarBallCheck { NotDone, Verified, Rejected, NoRoom };

    void ProcessManifestEntry(const ManifestLine& entry);
    void RecordImage(const ManifestLine& entry);
    [[nodiscard]] bool FitsItsPartition(const StdString& name, std::uint64_t length);
    [[nodiscard]] bool ManifestIsTrusted(const std::string& manifest);
    bool ReportIdentityRefusal();
    [[nodiscard]] bool CardHoldsManifest();

    bool UpdateImages();
    [[nodiscard]] bool PrepareFlashing(const std::vector<FlashImage>& images);
    std::vector<StdString> DevicesToWrite(const std::vector<FlashImage>& images);
    [[nodiscard]] bool HasImageToWrite();
    bool CopyTheFilesToSerialFlash();
    std::vector<FlashImage> ImagesToWrite();
    [[nodiscard]] bool PackageHoldsBootstrap();
    [[nodiscard]] bool BootSetUsable();
    [[nodiscard]] bool BootSetFileMatches(const StdString& cardName);
    void UnlockFileSystem();
    int32 ErasePartition(StdString deviceToErase);
    int32 CopyPartition(StdString deviceToCopyTo, StdString fileToCopy);
    void LockFileSystem();

    bool UpdateFromTarBall();
    TarBallCheck CheckAndCopyTarBall();

    void RejectImage(const StdString& name);
    bool ReportRejectedImages();
    bool FlashFailed();
    bool FlashResult(bool completed);

    // The manifest's image lines that verified: each image's checksum text,
    // its names in manifest order (the programming order), the version.
    std::map<StdString, StdString> m_filesInManifest;
    std::vector<StdString> m_orderedFileList;
    StdString m_versionInManifest;
    // For the recorded images whose line carries a SHA-256: that digest. For
    // every recorded image: the size it was checked at (what is read back
    // from flash).
    std::map<StdString, StdString> m_sha256InManifest;
    std::map<StdString, std::uint64_t> m_imageSizes;
    // The size of each partition asked for (0: it could not be told).
    std::map<StdString, std::uint64_t> m_partitionSizes;
    // Images the partition map knows but that did not verify, and names
    // that could reach outside the image directory, in manifest order: the
    // first of them as shown, and how many there were.
    std::vector<StdString> m_rejectedFileList;
    std::uint64_t m_rejectedCount;
    // The boot set's lines, by line name.
    std::map<StdString, ManifestLine> m_bootSetLines;
    // The tar-ball line (the last such line).
    bool m_tarBallInManifest;
    ManifestLine m_tarBallLine;
    TarBallCheck m_tarBallCheck;
    PrivateFile m_tarBallCopy;
    bool m_tarBallDamaged;
    // A tar ball's entry reached the disk.
    bool m_tarBallWritten;
    // The unit holds trusted keys: only a signed manifest is read, and each
    // of its image lines must carry a SHA-256.
    bool m_signedPackage;
    bool m_manifestRead;
    bool m_manifestAccepted;
    // Why this unit does not take the package ("" when it does).
    StdString m_identityRefusal;
    ImageDigestCache m_imageDigests;
    FlashUtilities m_flashUtilities;
    FlashSequence m_flashSequence;
};

#endif
