#include "canvas.h"

#include <algorithm>

#include "psffont.h"

Canvas::Canvas(int width, int height, std::uint32_t background)
    : m_width(width), m_height(height), m_pixels(size_t(width) * size_t(height), background)
{
}

int Canvas::width() const
{
    return m_width;
}

int Canvas::height() const
{
    return m_height;
}

std::uint32_t Canvas::at(int x, int y) const
{
    return m_pixels[size_t(y) * size_t(m_width) + size_t(x)];
}

void Canvas::fill(int x, int y, int width, int height, std::uint32_t colour)
{
    const int left = std::max(x, 0);
    const int right = std::min(x + width, m_width);
    for (int row = std::max(y, 0); row < std::min(y + height, m_height); ++row)
        for (int column = left; column < right; ++column)
            m_pixels[size_t(row) * size_t(m_width) + size_t(column)] = colour;
}

void Canvas::frame(int x, int y, int width, int height, std::uint32_t colour)
{
    fill(x, y, width, 1, colour);
    fill(x, y + height - 1, width, 1, colour);
    fill(x, y, 1, height, colour);
    fill(x + width - 1, y, 1, height, colour);
}

void Canvas::text(const PsfFont& font, int x, int y, const std::string& line, std::uint32_t colour)
{
    for (size_t i = 0; i < line.size(); ++i)
        for (int row = 0; row < font.height(); ++row)
            for (int column = 0; column < font.width(); ++column)
                if (font.inks(line[i], column, row))
                    fill(x + int(i) * font.width() + column, y + row, 1, 1, colour);
}
