#ifndef CANVAS_H
#define CANVAS_H

#include <cstdint>
#include <string>
#include <vector>

class PsfFont;

// A picture of the screen's window in memory, one 0xRRGGBB value a pixel,
// drawn whole before it is shown: the operator never sees half a page.
class Canvas
{
public:
    Canvas(int width, int height, std::uint32_t background);

    int width() const;
    int height() const;
    std::uint32_t at(int x, int y) const;

    // Everything drawn is clipped to the window.
    void fill(int x, int y, int width, int height, std::uint32_t colour);
    void frame(int x, int y, int width, int height, std::uint32_t colour);
    void text(const PsfFont& font, int x, int y, const std::string& line, std::uint32_t colour);

private:
    int m_width;
    int m_height;
    std::vector<std::uint32_t> m_pixels;
};

#endif
