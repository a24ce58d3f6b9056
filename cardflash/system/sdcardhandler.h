#ifndef SDCARDHANDLER_H
#define SDCARDHANDLER_H

#include "StdString.h"
#include "filesystem.h"
#include "lumo_common.h"

// Where the unit's SD card shows up and how it gets into the file tree:
// whether a card is in the slot, whether it is mounted, mounting and
// unmounting it. Every answer is asked afresh from the system.
class SDCardHandler : private FileSystem
{
public:
    SDCardHandler();
    virtual ~SDCardHandler();

    bool IsAvailable();
    bool IsMounted();
    bool Mount();
    bool UnMount();

private:
    bool IsAvailable(StdString mountPoint);
    bool IsMounted(StdString target);
    bool UnMount(StdString& mountPoint);

    StdString m_deviceName;
    StdString m_mountCheckString;
    StdString m_sdCardCheckDirectory;
    StdString m_sdCardMountDirectory;
    StdString m_sdCardDevice;
    StdString m_fileSystem;
    StdString m_partitionOne;
    uint32 m_zeroLengthString;
    uint32 m_functionWorks;
};

#endif
