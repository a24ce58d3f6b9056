#ifndef CARDLEFTOVERS_H
#define CARDLEFTOVERS_H

#include <memory>
#include <string>
#include <vector>

#include "atomicfile.h"

// A card folder holds one package. The files of the package's known names
// (the signature, the tar ball, images/NAME, boot/NAME) that an earlier
// package left there and this one does not write are taken away with this
// package's files going in: set aside with them, and put back when they
// fail. Anything else in the folder is left alone.
class CardLeftovers
{
public:
    explicit CardLeftovers(std::string cardDir);
    CardLeftovers(const CardLeftovers&) = delete;
    CardLeftovers& operator=(const CardLeftovers&) = delete;

    // Each known file there that is not in `kept` (paths in the card
    // folder, "images/zImage") gets its place reserved.
    [[nodiscard]] bool collect(const std::vector<std::string>& kept, std::string& error);
    // What to withdraw with the package's files.
    std::vector<AtomicFile*> files() const;
    // The package is in place: the reserved places go, and images/ and
    // boot/ too when nothing is left in them.
    void finish();

private:
    [[nodiscard]] bool reserve(const std::string& cardPath, std::string& error);

    std::string m_cardDir;
    std::vector<std::unique_ptr<AtomicFile>> m_files;
    std::vector<std::string> m_emptiedFolders;
};

#endif
