#ifndef IMAGEDIGESTS_H
#define IMAGEDIGESTS_H

#include <cstdint>
#include <map>
#include <string>

#include "StdString.h"
#include "imagecopies.h"

class PrivateFile;

// What one reading of a file on the card found.
struct ImageDigests {
    bool readable = false;
    std::string checkSums;
    bool sha256Known = false;
    std::string sha256;
    std::uint64_t length = 0;
};

// The digests of the package's images, each read from the card once
// however many manifest lines name it. With copies kept (the update), each
// image is copied into RAM during that one reading, and the copy is what
// gets written.
class ImageDigestCache
{
public:
    ImageDigestCache();

    void KeepCopies();
    // A copy could not be made for want of room: no later image is read.
    [[nodiscard]] bool OutOfRoom() const;
    StdString CopyOf(const StdString& name) const;
    ImageCopies& Copies();

    // The digests of the image of that name in the image folder. One that
    // could not be read is not tried again.
    const ImageDigests& DigestsOf(const StdString& name, bool sha256Wanted);

    // A folder or a device node is no image, and a card that is not there
    // holds none.
    static ImageDigests ReadDigests(const StdString& fileName, bool sha256Wanted,
                                    PrivateFile* copy = nullptr);
    // Whether the digests are those that a manifest line gives: its checksum
    // text, and its third field when it has one.
    [[nodiscard]] static bool Matches(const ImageDigests& digests, const StdString& checkSum,
                                      const StdString& digestField);

private:
    ImageDigests FirstReading(const StdString& name, bool sha256Wanted);

    std::map<StdString, ImageDigests> m_digests;
    bool m_keepCopies;
    bool m_outOfRoom;
    ImageCopies m_copies;
};

#endif
