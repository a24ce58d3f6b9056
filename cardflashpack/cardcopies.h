#ifndef CARDCOPIES_H
#define CARDCOPIES_H

#include <memory>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "packedfile.h"

// The card's folder of images, to which the unit's /images is a link.
inline const char* const kCardImageFolder = "images";

// The files that go onto the card beside the manifest: with --images each
// image in images/ (the unit's /images is a link to the card's images/),
// with --boot-set the recovery boot set in boot/ (what the unit's processor
// boots when the bootstrap in flash is missing or damaged). Each is written
// to a temporary file first, like the manifest, and a folder that had to be
// made is taken away again unless the package is put in place.
class CardCopies
{
public:
    explicit CardCopies(const std::string& cardDir);
    ~CardCopies();
    CardCopies(const CardCopies&) = delete;
    CardCopies& operator=(const CardCopies&) = delete;

    // The boot set folder must hold the files the unit boots by name; each
    // gets its manifest line, which the unit checks before it relies on it.
    static bool describeBootSet(const std::string& bootSetDir, std::vector<PackedFile>& lines,
                                std::string& error);

    // Each copy is described anew from the card: the manifest gives the
    // bytes that were written there.
    [[nodiscard]] bool copyImages(std::vector<PackedFile>& images, std::string& error);
    [[nodiscard]] bool copyBootSet(const std::string& bootSetDir, std::vector<PackedFile>& lines,
                                   std::string& error);
    // The temporary copies, for putting them in place with the manifest.
    std::vector<AtomicFile*> files() const;
    // The package is in place: the folders made stay.
    void keep();

private:
    bool copy(const std::string& folder, const std::string& name, const std::string& from,
              std::string& error);
    bool makeFolder(const std::string& folder, std::string& error);
    // `name` is a copy: it may be the name of `file` itself.
    bool describeCopy(std::string name, PackedFile& file, std::string& error);

    std::string m_cardDir;
    std::vector<std::unique_ptr<AtomicFile>> m_files;
    std::vector<std::string> m_madeFolders;
    bool m_kept = false;
};

#endif
