#include "psffont.h"

#include <cstddef>
#include <zlib.h>

namespace
{

const std::uint32_t psf2Magic = 0x864ab572;
const std::uint32_t hasUnicodeTable = 0x01;
const size_t headerSize = 32;
// Console fonts are a few KiB; nothing larger is taken for one.
const size_t largestFile = 1 << 20;
const std::uint32_t mostGlyphs = 1024;
const std::uint32_t largestCell = 64;
const std::uint8_t tableSeparator = 0xff;
const std::uint8_t sequenceStart = 0xfe;

std::uint32_t word(const std::vector<std::uint8_t>& bytes, size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

// The file's bytes, inflated when it is gzip; nothing when it cannot be read
// or is too large for a font.
std::vector<std::uint8_t> contentsOf(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    std::uint8_t block[4096];
    int got = 0;
    while (bytes.size() <= largestFile && (got = gzread(file, block, sizeof block)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    const bool whole = got == 0 && bytes.size() <= largestFile;
    (void)gzclose(file);
    return whole ? bytes : std::vector<std::uint8_t>();
}

} // namespace

PsfFont::PsfFont() : m_width(0), m_height(0), m_bytesPerRow(0)
{
    m_glyphOf.fill(-1);
}

bool PsfFont::load(const std::string& path)
{
    return parse(contentsOf(path));
}

bool PsfFont::parse(const std::vector<std::uint8_t>& file)
{
    if (file.size() < headerSize || word(file, 0) != psf2Magic)
        return false;
    const std::uint32_t offset = word(file, 8);
    const std::uint32_t flags = word(file, 12);
    const std::uint32_t glyphs = word(file, 16);
    const std::uint32_t glyphSize = word(file, 20);
    const std::uint32_t height = word(file, 24);
    const std::uint32_t width = word(file, 28);
    if (width == 0 || width > largestCell || height == 0 || height > largestCell || glyphs == 0 ||
        glyphs > mostGlyphs || glyphSize != height * ((width + 7) / 8) || offset < headerSize ||
        offset > file.size() || (file.size() - offset) / glyphSize < glyphs)
        return false;
    m_width = int(width);
    m_height = int(height);
    m_bytesPerRow = int((width + 7) / 8);
    const size_t end = size_t(offset) + size_t(glyphs) * size_t(glyphSize);
    m_glyphs.assign(file.begin() + std::ptrdiff_t(offset), file.begin() + std::ptrdiff_t(end));
    if (flags & hasUnicodeTable)
        mapCharacters(file, end, glyphs);
    else
        for (std::uint32_t c = 0; c < m_glyphOf.size() && c < glyphs; ++c)
            m_glyphOf[c] = int(c);
    return true;
}

// Each glyph's entry in the table: the characters it draws, in UTF-8, then
// sequences of combined characters, each begun by 0xFE, the entry ended by
// 0xFF. Only a one-byte character is looked for.
void PsfFont::mapCharacters(const std::vector<std::uint8_t>& file, size_t table,
                            std::uint32_t glyphs)
{
    size_t at = table;
    for (std::uint32_t glyph = 0; glyph < glyphs && at < file.size(); ++glyph) {
        bool inSequence = false;
        for (; at < file.size() && file[at] != tableSeparator; ++at) {
            inSequence = inSequence || file[at] == sequenceStart;
            const std::uint8_t c = file[at];
            if (!inSequence && c < m_glyphOf.size() && m_glyphOf[c] < 0)
                m_glyphOf[c] = int(glyph);
        }
        ++at;
    }
}

int PsfFont::width() const
{
    return m_width;
}

int PsfFont::height() const
{
    return m_height;
}

bool PsfFont::inks(char c, int x, int y) const
{
    const auto index = static_cast<unsigned char>(c);
    if (index >= m_glyphOf.size() || m_glyphOf[index] < 0 || x < 0 || x >= m_width || y < 0 ||
        y >= m_height)
        return false;
    const size_t row =
        (size_t(m_glyphOf[index]) * size_t(m_height) + size_t(y)) * size_t(m_bytesPerRow);
    return (m_glyphs[row + size_t(x / 8)] & (0x80 >> (x % 8))) != 0;
}
