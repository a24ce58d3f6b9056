#include "partitionmap.h"

#include <algorithm>

namespace
{

struct Partition {
    const char8* image;
    const char8* device;
};

// mtd2 holds the boot loader's environment, which no update writes.
const Partition partitions[] = {
    {"bootstrap.bin", "/dev/mtd0"},        {"uboot.bin", "/dev/mtd1"},
    {"at91sam9g35ek.dtb", "/dev/mtd3"},    {"zImage", "/dev/mtd4"},
    {"rootfs.squashfs", "/dev/mtd5"},      {"usr_share_lumo.jffs2", "/dev/mtd6"},
    {"usr_share_jail.jffs2", "/dev/mtd7"}, {"var.jffs2", "/dev/mtd8"},
};
const char8* const bootstrapImage = "bootstrap.bin";
const char8* const lockedDevice = "/dev/mtd5";

const char8* const cardFolder = "/mnt/sd-card/";
const char8* const imageFolder = "/images/";
const char8* const manifestFileName = "lumoManifest";
const char8* const signatureFileName = "lumoManifest.sig";
const char8* const tarBallFileName = "lumoTarBall.tar.gz";
const char8* const keptBootstrapFileName = "lumoKeptBootstrap.bin";
const char8* const versionLine = "Version";
const char8* const compatibleLine = "Compatible";

const char8* const cardRecoveryRoot = "boot/recovery.cpio.gz";
const char8* const cardBootSet[] = {"boot/zImage", "boot/at91sam9g35ek.dtb", cardRecoveryRoot};
const char8 pathSeparator = '/';
const char8 bootSetLineSeparator = ':';

} // namespace

StdString PartitionMap::CardFolder()
{
    return cardFolder;
}

StdString PartitionMap::ImageFolder()
{
    return imageFolder;
}

StdString PartitionMap::ManifestFileName()
{
    return manifestFileName;
}

StdString PartitionMap::SignatureFileName()
{
    return signatureFileName;
}

StdString PartitionMap::TarBallFileName()
{
    return tarBallFileName;
}

StdString PartitionMap::KeptBootstrapFileName()
{
    return keptBootstrapFileName;
}

StdString PartitionMap::VersionLine()
{
    return versionLine;
}

StdString PartitionMap::DeviceFor(const StdString& imageName)
{
    for (const Partition& partition : partitions) {
        if (imageName == partition.image) {
            return partition.device;
        }
    }
    return StdString();
}

StdString PartitionMap::CompatibleLine()
{
    return compatibleLine;
}

std::vector<StdString> PartitionMap::ImageNames()
{
    std::vector<StdString> names;
    for (const Partition& partition : partitions) {
        names.emplace_back(partition.image);
    }
    std::sort(names.begin(), names.end());
    return names;
}

StdString PartitionMap::BootstrapImage()
{
    return bootstrapImage;
}

StdString PartitionMap::LockedDevice()
{
    return lockedDevice;
}

std::vector<StdString> PartitionMap::CardBootSet()
{
    return std::vector<StdString>(std::begin(cardBootSet), std::end(cardBootSet));
}

StdString PartitionMap::CardRecoveryRoot()
{
    return cardRecoveryRoot;
}

StdString PartitionMap::BootSetLineName(const StdString& cardName)
{
    StdString lineName = cardName;
    std::replace(lineName.begin(), lineName.end(), pathSeparator, bootSetLineSeparator);
    return lineName;
}

bool PartitionMap::IsBootSetLine(const StdString& name)
{
    for (const char8* cardName : cardBootSet) {
        if (name == BootSetLineName(cardName)) {
            return true;
        }
    }
    return false;
}
