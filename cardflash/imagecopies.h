#ifndef IMAGECOPIES_H
#define IMAGECOPIES_H

#include <string>

#include "StdString.h"

class PrivateFile;

// The images as they were checked. Each image is copied, while it is read
// for its check, into a file of this process's own in RAM, and flashcp
// writes that copy: the card could answer a second read with other bytes
// than the ones checked. The copies live in one private folder under /run,
// made at the first copy and removed with the object. Every copy must fit
// beside the others and leave the unit a reserve of memory, or there is no
// room for it.
class ImageCopies
{
public:
    ImageCopies();
    ~ImageCopies();
    ImageCopies(const ImageCopies&) = delete;
    ImageCopies& operator=(const ImageCopies&) = delete;

    // Opens `copy` as the copy of the image `name`, limited to the room
    // there is; false when there is none.
    [[nodiscard]] bool Open(const StdString& name, PrivateFile& copy);
    StdString PathOf(const StdString& name) const;

private:
    bool MakeFolder();

    std::string m_folder;
};

#endif
