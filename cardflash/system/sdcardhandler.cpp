#include "sdcardhandler.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include "MountEntry.h"
#include "Stat.h"

namespace
{

const mode_t kMountDirectoryMode = 0700;

} // namespace

SDCardHandler::SDCardHandler()
{
    m_deviceName = "mmcblk0";
    m_partitionOne = m_deviceName + "p1";
    m_sdCardCheckDirectory = StdString("/sys/block") + "/" + m_deviceName;
    m_sdCardMountDirectory = "/mnt/sd-card";
    m_sdCardDevice = StdString("/dev") + "/" + m_partitionOne;
    m_fileSystem = "vfat";
    m_mountCheckString = StdString("mount | grep -c ") + m_partitionOne + " > /dev/null";
    m_zeroLengthString = 0;
    m_functionWorks = 0;
}

// The card stays mounted: later actions of the tool read from it.
SDCardHandler::~SDCardHandler() {}

bool SDCardHandler::IsAvailable()
{
    Stat cardDirectory(m_sdCardCheckDirectory);
    return cardDirectory.isDirectory(m_sdCardCheckDirectory);
}

bool SDCardHandler::IsMounted()
{
    return IsMounted(m_sdCardMountDirectory);
}

bool SDCardHandler::Mount()
{
    StdString sd_card_partition = m_sdCardDevice;
    StdString mountPoint = m_sdCardMountDirectory;
    StdString myFileSystem = m_fileSystem;
    StdString options;

    if (!IsAvailable()) {
        // A card pulled out while mounted leaves a stale entry behind.
        if (IsMounted()) {
            UnMount();
        }
        return false;
    }
    if (IsMounted()) {
        return true;
    }
    Stat status;
    if (!status.isDirectory(mountPoint)) {
        mkdir(mountPoint.c_str(), kMountDirectoryMode);
    }
    int result = mount(sd_card_partition.c_str(), mountPoint.c_str(), myFileSystem.c_str(),
                       MS_SYNCHRONOUS, options.c_str());
    return result == static_cast<int>(m_functionWorks);
}

bool SDCardHandler::UnMount()
{
    return UnMount(m_sdCardMountDirectory);
}

bool SDCardHandler::IsAvailable(StdString mountPoint)
{
    return IsMounted(mountPoint);
}

bool SDCardHandler::IsMounted(StdString target)
{
    StdString lookFor = target;
    if (static_cast<uint32>(target.GetLength()) == m_zeroLengthString) {
        lookFor = m_sdCardMountDirectory;
    }
    MountEntry mountTable;
    return mountTable.findEntry(lookFor);
}

bool SDCardHandler::UnMount(StdString& mountPoint)
{
    if (!IsMounted()) {
        return false;
    }
    return umount(mountPoint.c_str()) == static_cast<int>(m_functionWorks);
}
