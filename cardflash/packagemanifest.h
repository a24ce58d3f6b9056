#ifndef PACKAGEMANIFEST_H
#define PACKAGEMANIFEST_H

#include <cstddef>
#include <string>
#include <string_view>

#include "StdString.h"

// A manifest is a few lines; one longer than this is taken as unreadable,
// so that a card cannot make the unit hold more than that in memory.
constexpr std::size_t kLongestManifest = std::size_t{16} * 1024 * 1024;

// One line of the manifest, NAME,VALUE[,DIGEST]: the value is an image's
// checksum text or the version, the digest field is empty or "sha256:" and
// the SHA-256 of the whole file, trimmed (fields after the third are
// ignored). Each field is taken up to its first NUL.
struct ManifestLine {
    StdString name;
    StdString value;
    StdString digestField;
};

// The manifest's text, line by line, without reading anything: lines end
// at line feeds (the last one also without), and a line is taken up to its
// first NUL. A manifest of millions of lines is never held twice.
class ManifestReader
{
public:
    explicit ManifestReader(const std::string& text);

    // The next line that is an entry: it has a comma and a name.
    [[nodiscard]] bool Next(ManifestLine& line);

    // False when the line has no comma or no name.
    [[nodiscard]] static bool Split(std::string_view line, ManifestLine& entry);
    // The hex digest of a digest field ("" when it has none).
    static StdString Sha256Of(const StdString& digestField);
    static StdString Sha256FieldPrefix();
    // Images live directly in the image directory: a name that would walk
    // out of it.
    static bool LeavesImageDirectory(const StdString& name);

private:
    const std::string& m_text;
    std::size_t m_lineStart;
};

#endif
