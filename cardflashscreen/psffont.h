#ifndef PSFFONT_H
#define PSFFONT_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A console font in the PC Screen Font format (version 2, as Debian's
// console fonts are), read whole from its file, gzip-compressed or not.
// Only the printable ASCII characters are looked up, by the font's own
// Unicode table; one the font lacks is drawn blank.
class PsfFont
{
public:
    PsfFont();

    bool load(const std::string& path);
    int width() const;
    int height() const;
    // Whether the glyph of C inks the pixel at X, Y of its cell.
    bool inks(char c, int x, int y) const;

private:
    bool parse(const std::vector<std::uint8_t>& file);
    void mapCharacters(const std::vector<std::uint8_t>& file, size_t table, std::uint32_t glyphs);

    int m_width;
    int m_height;
    int m_bytesPerRow;
    std::vector<std::uint8_t> m_glyphs;
    std::array<int, 128> m_glyphOf;
};

#endif
