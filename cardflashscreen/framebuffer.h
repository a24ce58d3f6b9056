#ifndef FRAMEBUFFER_H
#define FRAMEBUFFER_H

#include <cstddef>
#include <cstdint>
#include <linux/fb.h>

class Canvas;

// The Linux framebuffer device, mapped into memory: a canvas is shown at
// the screen's top left, the rest of the screen in the canvas's corner
// colour. Packed true-colour pixels of 16, 24 or 32 bits only.
class Framebuffer
{
public:
    Framebuffer();
    ~Framebuffer();
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;

    // False, with the reason on standard error, when there is no screen to draw on.
    bool open(const char* device);
    void show(const Canvas& canvas);

private:
    void put(std::uint32_t x, std::uint32_t y, std::uint32_t colour);
    std::uint32_t pixelOf(std::uint32_t colour) const;

    int m_descriptor;
    std::uint8_t* m_memory;
    size_t m_length;
    fb_var_screeninfo m_mode;
    fb_fix_screeninfo m_layout;
    bool m_cleared;
};

#endif
