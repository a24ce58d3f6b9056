#include "imagedigests.h"

#include "Stat.h"
#include "filesystem.h"
#include "partitionmap.h"
#include "privatefile.h"
#include "sdcardhandler.h"

ImageDigestCache::ImageDigestCache() : m_keepCopies(false), m_outOfRoom(false) {}

void ImageDigestCache::KeepCopies()
{
    m_keepCopies = true;
}

bool ImageDigestCache::OutOfRoom() const
{
    return m_outOfRoom;
}

StdString ImageDigestCache::CopyOf(const StdString& name) const
{
    return m_copies.PathOf(name);
}

ImageCopies& ImageDigestCache::Copies()
{
    return m_copies;
}

// A later line that asks for the SHA-256 that the first reading left out
// gets it from the copy, or without one from a second reading.
const ImageDigests& ImageDigestCache::DigestsOf(const StdString& name, bool sha256Wanted)
{
    const auto known = m_digests.find(name);
    if (known == m_digests.end()) {
        return m_digests[name] = FirstReading(name, sha256Wanted);
    }
    if (sha256Wanted && known->second.readable && !known->second.sha256Known) {
        known->second =
            ReadDigests(m_keepCopies ? CopyOf(name) : PartitionMap::ImageFolder() + name, true);
    }
    return known->second;
}

ImageDigests ImageDigestCache::FirstReading(const StdString& name, bool sha256Wanted)
{
    const StdString path = PartitionMap::ImageFolder() + name;
    if (!m_keepCopies) {
        return ReadDigests(path, sha256Wanted);
    }
    PrivateFile copy;
    if (m_outOfRoom || !m_copies.Open(name, copy)) {
        m_outOfRoom = true;
        return ImageDigests();
    }
    ImageDigests digests = ReadDigests(path, sha256Wanted, &copy);
    if (copy.writeFailed()) {
        m_outOfRoom = true;
        digests.readable = false;
    }
    return digests;
}

// Without a SHA-256 to check only the legacy text is worked out, as before:
// the SHA-256 of every byte costs the unit's slow processor dearly. Without
// a copy to make, that reading stops at the first zero byte, and the length
// is the size the file had when it was looked at.
ImageDigests ImageDigestCache::ReadDigests(const StdString& fileName, bool sha256Wanted,
                                           PrivateFile* copy)
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
