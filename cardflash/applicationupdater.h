#ifndef APPLICATIONUPDATER_H
#define APPLICATIONUPDATER_H

#include <map>
#include <vector>

#include "StdString.h"
#include "lumo_common.h"

class FileSystem;

// Reads the update package from the SD card, checks every image it names
// and writes the checked images into their flash partitions (or unpacks a
// tar-ball package). One instance serves one command-line action.
class ApplicationUpdater
{
public:
    ApplicationUpdater();
    virtual ~ApplicationUpdater();

    void Initialize();

    StdString getManifestFileName();
    void GetVersion();
    void ValidateInstallationMedia();
    bool ExecuteUpdate();
    bool checkTarBall();
    bool uncompressTarBall();
    bool InstallTarBall();

    // True when the manifest was read (the card is there, mounted or
    // mountable, and holds a manifest).
    bool GetFilesToUpdateFromManifest();
    void ProcessManifestFile(FileSystem* localFileSystem);
    void ProcessManifestLine(const StdString& line);

    static bool CheckFile(StdString fileName, StdString checkSum);

    void RemoveBootstrap();

    // Read-only views of what the manifest reading recorded.
    const std::map<StdString, StdString>& GetPartitionMap() const;
    const std::map<StdString, StdString>& GetFilesInManifest() const;
    const std::vector<StdString>& GetOrderedFileList() const;
    const std::vector<StdString>& GetRejectedFileList() const;
    const StdString& GetVersionInManifest() const;
    bool IsTarBallPackage() const;

private:
    bool CopyTheFilesToSerialFlash();
    bool WriteImage(const StdString& name, const StdString& flashDevice);
    void UnlockFileSystem();
    int32 ErasePartition(StdString deviceToErase);
    int32 CopyPartition(StdString deviceToCopyTo, StdString fileToCopy);
    void LockFileSystem();

    StdString FlashDeviceFor(const StdString& fileName);
    bool HasImageToWrite();
    bool HasUsableImages();
    bool ReportRejectedImages();
    bool FlashFailed();
    StdString TarBallCheckSumFromManifest();
    static bool MatchesCheckSum(const StdString& fileName, const StdString& checkSum);

    std::map<StdString, StdString> m_possibleFiles;
    std::map<StdString, StdString> m_filesInManifest;
    std::vector<StdString> m_orderedFileList;
    StdString m_versionInManifest;
    // Images the partition map knows but that did not verify, and names
    // that could reach outside the image directory, in manifest order.
    std::vector<StdString> m_rejectedFileList;
    bool m_tarBallInManifest;

    static const StdString m_pathToSDCard;
    static const StdString m_pathToImages;
    static const StdString m_manifestFileName;
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
