#include "keptbootstrap.h"

#include <cstdint>
#include <string>

#include "Stat.h"
#include "filesystem.h"
#include "imagecopies.h"
#include "imagedigests.h"
#include "mtddevice.h"
#include "partitionmap.h"
#include "privatefile.h"

namespace
{

const char8* const temporarySuffix = ".new";

StdString cardCopyPath()
{
    return PartitionMap::CardFolder() + PartitionMap::KeptBootstrapFileName();
}

} // namespace

KeptBootstrap::KeptBootstrap(ImageCopies& copies)
    : m_copies(copies), m_kept(false), m_savedOnCard(false)
{
}

// The whole partition is kept, erased bytes and all, so that the read-back
// compares every byte with what was there.
bool KeptBootstrap::Keep(FlashImage& image)
{
    image.name = PartitionMap::BootstrapImage();
    image.device = PartitionMap::DeviceFor(image.name);
    std::uint64_t partitionSize = 0;
    FileSystem fileSystem;
    std::string ignored;
    if (!MtdDevice::Size(image.device.c_str(), partitionSize)) {
        return false;
    }
    const bool erased = fileSystem.getWrittenDigest(image.device, 0, true, ignored);
    PrivateFile copy;
    if (!m_copies.Open(image.name, copy)) {
        return false;
    }
    image.source = m_copies.PathOf(image.name);
    image.sourceIsCopy = true;
    ImageDigests digests;
    if (erased) {
        digests = ImageDigestCache::ReadDigests(cardCopyPath(), true, &copy);
    } else {
        digests.readable = fileSystem.getFileDigests(image.device, digests.checkSums,
                                                     digests.sha256, digests.length, &copy);
    }
    if (!digests.readable || copy.writeFailed() || digests.length == 0 ||
        digests.length > partitionSize) {
        fileSystem.removeFile(image.source);
        return false;
    }
    image.length = digests.length;
    image.wholeImageDigest = true;
    image.expected = digests.sha256.c_str();
    m_savedOnCard = !erased && SaveOnCard(image.source, digests.sha256);
    m_kept = erased || m_savedOnCard;
    return m_kept;
}

bool KeptBootstrap::Pending()
{
    FileSystem fileSystem;
    Stat cardCopy;
    std::string ignored;
    return cardCopy.isRegularFile(cardCopyPath()) &&
           fileSystem.getWrittenDigest(PartitionMap::DeviceFor(PartitionMap::BootstrapImage()), 0,
                                       true, ignored);
}

void KeptBootstrap::Release()
{
    if (m_savedOnCard) {
        RemoveFromCard();
    }
}

void KeptBootstrap::Forget()
{
    if (m_kept) {
        RemoveFromCard();
    }
}

void KeptBootstrap::RemoveFromCard()
{
    FileSystem fileSystem;
    fileSystem.removeFile(cardCopyPath());
}

// Written under another name and renamed when whole, then read back: a copy
// that is on the card at all is the whole bootstrap.
bool KeptBootstrap::SaveOnCard(const StdString& copy, const std::string& sha256)
{
    const std::string path = cardCopyPath().c_str();
    const std::string temporary = path + temporarySuffix;
    FileSystem fileSystem;
    fileSystem.removeFile(temporary);
    PrivateFile cardFile;
    ImageDigests written;
    if (!cardFile.createAt(temporary)) {
        return false;
    }
    const bool copied = fileSystem.getFileDigests(copy.c_str(), written.checkSums, written.sha256,
                                                  written.length, &cardFile) &&
                        !cardFile.writeFailed() && written.sha256 == sha256;
    if (!copied || !fileSystem.replaceDurably(temporary, path)) {
        fileSystem.removeFile(temporary);
        return false;
    }
    const bool readBack =
        fileSystem.getFileDigests(path, written.checkSums, written.sha256, written.length) &&
        written.sha256 == sha256;
    if (!readBack) {
        fileSystem.removeFile(path);
    }
    return readBack;
}
