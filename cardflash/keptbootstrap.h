#ifndef KEPTBOOTSTRAP_H
#define KEPTBOOTSTRAP_H

#include "flashsequence.h"

class ImageCopies;

// The unit's own bootstrap, while an update whose package brings none has
// its partition erased first and written last: the processor's ROM boots
// the card's recovery set until the bootstrap is back. Its bytes are kept
// in RAM, and on the card too, since a power cut takes the RAM: the rerun
// that the card's recovery set starts finds the partition erased and takes
// the card's copy. The card is only trusted with it then, when the ROM
// boots the card unchecked anyway.
class KeptBootstrap
{
public:
    explicit KeptBootstrap(ImageCopies& copies);

    // The bootstrap as an image to write back, or false when there is
    // none to keep: a partition that cannot be read, a card that cannot
    // take the copy, an erased partition without a copy on the card.
    [[nodiscard]] bool Keep(FlashImage& image);
    // A cut run left the partition erased and its copy on the card: the
    // bootstrap is still to be put back.
    [[nodiscard]] static bool Pending();
    // The update was refused before any erase: a copy that this run put
    // on the card goes, one that a cut run left there stays.
    void Release();
    // Once the bootstrap is back in the flash, the card's copy goes.
    void Forget();

private:
    [[nodiscard]] static bool SaveOnCard(const StdString& copy, const std::string& sha256);
    static void RemoveFromCard();

    ImageCopies& m_copies;
    bool m_kept;
    bool m_savedOnCard;
};

#endif
