#ifndef TARBALLWRITER_H
#define TARBALLWRITER_H

#include <string>
#include <sys/stat.h>
#include <vector>

struct archive;

// A gzip-compressed tar ball of a folder's tree, as the unit unpacks it into
// its root: paths relative to the folder, owned by root, modes kept but for
// the setuid, setgid and world-write bits (unless asked to keep them too),
// every time fixed and the entries sorted, so that the same tree always
// gives the same bytes.
class TarBallWriter
{
public:
    TarBallWriter(std::string rootDir, bool keepModes);

    // Walks the tree; false, with the reason in `error`, for an entry that
    // cannot be packed or a tree without entries. Nothing is written.
    bool collect(std::string& error);
    // How many entries lose bits of their modes.
    std::size_t modesCleared() const;
    // Whether the tree looks like the unit's root: usr/ or etc/ at its top.
    bool looksLikeRoot() const;
    // Writes the collected tree to `descriptor`.
    bool write(int descriptor, std::string& error) const;

private:
    struct Entry {
        std::string relativePath;
        struct stat status;
        std::string linkTarget;
    };

    bool addEntry(const std::string& relativePath, std::string& error);
    bool writeEntry(archive* tarBall, const Entry& entry, std::string& error) const;
    bool writeContent(archive* tarBall, const Entry& entry, std::string& error) const;
    mode_t permissionsOf(const Entry& entry) const;

    std::string m_rootDir;
    bool m_keepModes;
    std::vector<Entry> m_entries;
};

#endif
