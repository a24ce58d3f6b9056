#include "framebuffer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "canvas.h"

namespace
{

std::uint32_t channel(std::uint32_t colour, int shift, const fb_bitfield& field)
{
    const std::uint32_t value = (colour >> shift) & 0xff;
    if (field.length == 0 || field.length > 8)
        return 0;
    return (value >> (8 - field.length)) << field.offset;
}

} // namespace

Framebuffer::Framebuffer()
    : m_descriptor(-1), m_memory(nullptr), m_length(0), m_mode(), m_layout(), m_cleared(false)
{
}

Framebuffer::~Framebuffer()
{
    if (m_memory != nullptr)
        (void)::munmap(m_memory, m_length);
    if (m_descriptor >= 0)
        (void)::close(m_descriptor);
}

bool Framebuffer::open(const char* device)
{
    m_descriptor = ::open(device, O_RDWR | O_CLOEXEC);
    const char* failed = nullptr;
    if (m_descriptor < 0)
        failed = "open";
    else if (::ioctl(m_descriptor, FBIOGET_VSCREENINFO, &m_mode) != 0 ||
             ::ioctl(m_descriptor, FBIOGET_FSCREENINFO, &m_layout) != 0)
        failed = "ask";
    else if (m_layout.type != FB_TYPE_PACKED_PIXELS || m_layout.visual != FB_VISUAL_TRUECOLOR ||
             (m_mode.bits_per_pixel != 16 && m_mode.bits_per_pixel != 24 &&
              m_mode.bits_per_pixel != 32) ||
             size_t(m_mode.xoffset + m_mode.xres) * (m_mode.bits_per_pixel / 8) >
                 m_layout.line_length ||
             size_t(m_layout.line_length) * (m_mode.yoffset + m_mode.yres) > m_layout.smem_len) {
        errno = ENOTSUP;
        failed = "draw on";
    } else {
        m_length = m_layout.smem_len;
        void* memory =
            ::mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_SHARED, m_descriptor, 0);
        m_memory = memory == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(memory);
        failed = m_memory == nullptr ? "map" : nullptr;
        // A screen that nobody has drawn on since the start is still dark:
        // the kernel lights the panel when it is asked to unblank it.
        if (failed == nullptr && ::ioctl(m_descriptor, FBIOBLANK, FB_BLANK_UNBLANK) != 0)
            failed = "unblank";
    }
    if (failed != nullptr)
        (void)std::fprintf(stderr, "cardflashscreen: cannot %s %s: %s\n", failed, device,
                           std::strerror(errno));
    return failed == nullptr;
}

std::uint32_t Framebuffer::pixelOf(std::uint32_t colour) const
{
    return channel(colour, 16, m_mode.red) | channel(colour, 8, m_mode.green) |
           channel(colour, 0, m_mode.blue);
}

void Framebuffer::put(std::uint32_t x, std::uint32_t y, std::uint32_t colour)
{
    const std::uint32_t bytes = m_mode.bits_per_pixel / 8;
    std::uint8_t* at = m_memory + size_t(m_mode.yoffset + y) * m_layout.line_length +
                       size_t(m_mode.xoffset + x) * bytes;
    const std::uint32_t pixel = pixelOf(colour);
    for (std::uint32_t i = 0; i < bytes; ++i)
        at[i] = std::uint8_t(pixel >> (8 * i));
}

void Framebuffer::show(const Canvas& canvas)
{
    if (m_memory == nullptr)
        return;
    for (std::uint32_t y = 0; y < m_mode.yres; ++y)
        for (std::uint32_t x = 0; x < m_mode.xres; ++x) {
            const bool inside =
                x < std::uint32_t(canvas.width()) && y < std::uint32_t(canvas.height());
            if (inside || !m_cleared)
                put(x, y, inside ? canvas.at(int(x), int(y)) : canvas.at(0, 0));
        }
    m_cleared = true;
}
