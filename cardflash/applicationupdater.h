#ifndef APPLICATIONUPDATER_H
#define APPLICATIONUPDATER_H

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "StdString.h"
#include "filesystem.h"
#include "flashutilities.h"
#include "imagecopies.h"
#include "lumo_common.h"
#include "privatefile.h"

// Reads the update package from the SD card, checks every image it names
// and writes the checked images into their flash partitions (or unpacks a
// tar-ball package). One instance serves one command-line action, and reads
// the card's manifest once: the bytes whose signature is checked are the
// bytes that are parsed. Each image is checked once however many lines name
// it, and its partition read back whole once it is written; the tar ball is
// read once, and what is unpacked is the copy that was checked.
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
    bool TarBallDamaged() const;

    // True when the manifest was read and accepted (the card is there,
    // mounted or mountable, holds a manifest, and the manifest is signed
    // when the unit holds trusted keys).
    bool GetFilesToUpdateFromManifest();
    bool ProcessManifestFile(FileSystem* localFileSystem);
    void ProcessManifestLine(std::string_view line);

    // `digestField` is a manifest line's third field: empty, or "sha256:"
    // and the SHA-256 of the whole file; any other text never matches.
    static bool CheckFile(StdString fileName, StdString checkSum,
                          StdString digestField = StdString());

    void RemoveBootstrap();

    // The names that did not verify or could leave the image directory, as
    // they are shown: the first ones of them only, however many the card
    // brings.
    const std::vector<StdString>& GetRejectedFileList() const;

    // What the package builder must write for the unit to find it: the
    // card's file names, the version line's name, the third field's prefix,
    // and the image names that the partition map writes to a flash device.
    static StdString ManifestFileName();
    static StdString SignatureFileName();
    static StdString TarBallFileName();
    static StdString VersionLine();
    static StdString Sha256FieldPrefix();
    static std::vector<StdString> KnownImageNames();
    // The files that the unit's processor boots from when the bootstrap in
    // flash is missing or damaged, relative to the card's root.
    static std::vector<StdString> CardBootSetNames();
    // The name of a boot-set file's manifest line: "boot:zImage" for
    // "boot/zImage".
    static StdString BootSetLineName(const StdString& cardName);

private:
    bool PrepareFlashing();
    std::vector<StdString> DevicesToWrite();
    // What one reading of an image found.
    struct ImageDigests {
        bool readable = false;
        std::string checkSums;
        bool sha256Known = false;
        std::string sha256;
        std::uint64_t length = 0;
    };
    enum class TarBallCheck { NotDone, Verified, Rejected, NoRoom };

    bool UpdateImages();
    bool UpdateFromTarBall();
    TarBallCheck CheckAndCopyTarBall();
    bool CopyTheFilesToSerialFlash();
    bool BootstrapWrittenLast();
    bool BootSetUsable();
    bool BootSetFileMatches(const StdString& cardName);
    static bool IsBootSetLine(const StdString& name);
    bool WriteImage(const StdString& name, const StdString& flashDevice);
    bool WriteErasedPartition(const StdString& name, const StdString& flashDevice);
    void UnlockFileSystem();
    int32 ErasePartition(StdString deviceToErase);
    int32 CopyPartition(StdString deviceToCopyTo, StdString fileToCopy);
    void LockFileSystem();

    bool ReadBackMatches(const StdString& name, const StdString& flashDevice);

    StdString FlashDeviceFor(const StdString& fileName);
    bool HasImageToWrite();
    void RejectImage(const StdString& name);
    bool ReportRejectedImages();
    bool FlashFailed();
    bool FlashResult(bool completed);
    bool CardHoldsManifest();
    bool ManifestIsTrusted(const std::string& manifest);
    static std::vector<std::string> TrustedKeys();
    void ProcessManifestText(const std::string& manifest);
    const ImageDigests& DigestsOf(const StdString& name, bool sha256Wanted);
    ImageDigests FirstReading(const StdString& name, bool sha256Wanted);
    static ImageDigests ReadDigests(const StdString& fileName, bool sha256Wanted,
                                    PrivateFile* copy = nullptr);
    static bool Matches(const ImageDigests& digests, const StdString& checkSum,
                        const StdString& digestField);

    std::map<StdString, StdString> m_possibleFiles;
    std::map<StdString, StdString> m_filesInManifest;
    std::vector<StdString> m_orderedFileList;
    StdString m_versionInManifest;
    // Images the partition map knows but that did not verify, and names
    // that could reach outside the image directory, in manifest order: the
    // first of them as shown, and how many there were.
    std::vector<StdString> m_rejectedFileList;
    std::uint64_t m_rejectedCount;
    std::map<StdString, ImageDigests> m_imageDigests;
    bool m_tarBallInManifest;
    // The tar-ball line's checksum text and third field (the last such line).
    StdString m_tarBallCheckSum;
    StdString m_tarBallDigestField;
    // For the recorded images whose line carries a SHA-256: that digest. For
    // every recorded image: the size it was checked at (what is read back
    // from flash).
    std::map<StdString, std::string> m_sha256InManifest;
    std::map<StdString, std::uint64_t> m_imageSizes;
    // The boot set's lines, by line name: checksum text and third field.
    struct BootSetLine {
        StdString checkSum;
        StdString digestField;
    };
    std::map<StdString, BootSetLine> m_bootSetLines;
    TarBallCheck m_tarBallCheck;
    PrivateFile m_tarBallCopy;
    bool m_tarBallDamaged;
    // A partition was erased, or a tar ball's entry reached the disk.
    bool m_writingStarted;
    // The unit holds trusted keys: only a signed manifest is read, and each
    // of its image lines must carry a SHA-256.
    bool m_signedPackage;
    bool m_manifestRead;
    bool m_manifestAccepted;
    FlashUtilities m_flashUtilities;
    // The update copies every image while it checks it, and writes the copies.
    bool m_copyImages;
    bool m_imagesDoNotFit;
    ImageCopies m_imageCopies;

    static const StdString m_pathToSDCard;
    static const StdString m_pathToImages;
    static const StdString m_manifestFileName;
    static const StdString m_signatureFileName;
    static const StdString m_trustedKeysFileName;
    static const StdString m_rootTrustedKeysFileName;
    static const StdString m_tarBallCopyFolder;
    static const StdString m_tarBallFileName;
    static const StdString m_versionLine;
    static const StdString m_bootStrapFileName;
    static const StdString m_ubootFileName;
    static const StdString m_deviceTreeFileName;
    static const StdString m_kernelImageFileName;
    static const StdString m_rootFileSystemFileName;
    static const StdString m_usrShareLumoFileName;
    static const StdString m_usrShareJailFileName;
    static const StdString m_varFileName;
    static const StdString m_tarIndicator;
    static const std::vector<StdString> m_cardBootSet;
    static const StdString m_serialFlashForBootstrap;
    static const StdString m_serialFlashForUboot;
    static const StdString m_serialFlashForDevicetree;
    static const StdString m_serialFlashForKernel;
    static const StdString m_serialFlashForRootfs;
    static const StdString m_serialFlashUsrLumo;
    static const StdString m_serialFlashUsrJail;
    static const StdString m_serialFlashVar;
};

#endif
