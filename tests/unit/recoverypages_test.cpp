// The recovery screen's pages, drawn in memory with Debian's console fonts; each is saved
// as a picture (SCREENSHOT_DIR) to be looked at.
#include "recoverypages.h"
#include "table.h"

#include <fstream>

namespace
{

const std::uint32_t background = 0xe8ece8;
const std::uint32_t barFull = 0x308cc0;

void save(const Canvas& canvas, const Str& name)
{
    std::ofstream picture(SCREENSHOT_DIR "/recovery-" + name + ".ppm", std::ios::binary);
    picture << "P6\n" << canvas.width() << ' ' << canvas.height() << "\n255\n";
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            for (const int shift : {16, 8, 0})
                picture.put(char(canvas.at(x, y) >> shift));
}

// "BANDS bands, bar P%" (P: the share of the bar's row that is filled, "none" without a bar),
// "ink at the edge" when a text runs off the window's sides.
Str describe(const Canvas& canvas)
{
    int bands = 0, filled = 0, edge = 0;
    bool inked = false;
    for (int y = 0; y < canvas.height(); ++y) {
        bool row = false;
        for (int x = 0; x < canvas.width(); ++x) {
            row = row || canvas.at(x, y) != background;
            edge += (x < 2 || x >= canvas.width() - 2) && canvas.at(x, y) != background;
        }
        bands += row && !inked;
        inked = row;
    }
    for (int x = 0; x < canvas.width(); ++x)
        filled += canvas.at(x, 205) == barFull;
    const bool bar = canvas.at(47, 192) != background;
    return J(bands, "bands, bar", bar ? std::to_string((filled * 100 + 192) / 385) + "%" : "none") +
           (edge ? " ink at the edge" : "");
}

} // namespace

TEST(RecoveryPages, EachPageInTheWindow)
{
    RecoveryPages pages;
    ASSERT_TRUE(pages.loadFonts());
    struct Case {
        Str name, output;
        int arrivals;
        bool cardIn, ended;
        Str want;
    };
    const Str reason(300, 'x');
    // Without a manifest on the card the bar counts arrivals: 7,250 are half the scale.
    const Case cases[] = {
        {"start", "", 0, true, false, " 5 bands, bar 0%"},
        {"half", "Erasing /dev/mtd1\n", 7250, true, false, " 5 bands, bar 50%"},
        {"complete", "FLASH COMPLETE\n", 1, true, false, " 3 bands, bar none"},
        {"refused", "IMAGE REJECTED: zImage\nFLASH FAILED\n", 1, true, false, " 5 bands, bar none"},
        {"refused-long", reason + "\nFLASH FAILED\n", 1, true, false, " 6 bands, bar none"},
        {"incomplete", "Erasing /dev/mtd1\n", 1, true, true, " 4 bands, bar none"},
        {"card-removed", "Erasing /dev/mtd1\n", 1, false, false, " 4 bands, bar none"},
        {"ended-untold", "Checking\n", 1, true, true, " 4 bands, bar none"}};
    for (const Case& c : cases) {
        UpdateState state;
        for (int i = 0; i < c.arrivals; ++i)
            state.received(i == 0 ? c.output : "", c.cardIn);
        if (c.ended)
            state.toolEnded();
        const Canvas canvas = pages.draw(state);
        save(canvas, c.name);
        EXPECT_EQ(describe(canvas), c.want) << c.name;
    }
}

TEST(RecoveryPages, LinesBrokenAtBlanksAndLineEnds)
{
    const auto lines = [](const Str& text, size_t columns) {
        Str joined;
        for (const Str& line : RecoveryPages::linesOf(text, columns))
            joined += "[" + line + "]";
        return joined;
    };
    Check({ROW("[ab cd][ef]", lines("ab cd ef", 5)), ROW("[ab][][cd]", lines("ab\n\ncd", 5)),
           ROW("[a][bcdef][ghij][k]", lines("a bcdefghij k", 5)),
           ROW("[a b]", lines("a  b", 9)) /* blanks inside a line are one */,
           ROW("[]", lines("", 5))});
}

TEST(RecoveryPages, FontsThatAreNoneRefused)
{
    const Str folder = SCREENSHOT_DIR;
    const std::pair<Str, Str> files[] = {
        {"empty", ""},
        {"short", "\x72\xb5\x4a\x86"},
        {"huge-glyphs", Str("\x72\xb5\x4a\x86\0\0\0\0\x20\0\0\0\0\0\0\0\1\0\0\0\0\x10\0\0\0\x10\0\0"
                            "\0\x10\0\0",
                            32)},
        {"glyphs-cut-short", Str("\x72\xb5\x4a\x86\0\0\0\0\x20\0\0\0\0\0\0\0\2\0\0\0\x10\0\0\0"
                                 "\x10\0\0\0\x08\0\0\0",
                                 32) +
                                 Str(16, 'x')}};
    for (const auto& [name, bytes] : files) {
        std::ofstream(folder + "/" + name + ".psf", std::ios::binary) << bytes;
        EXPECT_FALSE(PsfFont().load(folder + "/" + name + ".psf")) << name;
    }
    PsfFont font;
    ASSERT_TRUE(font.load("/usr/share/consolefonts/Lat15-TerminusBold20x10.psf.gz"));
    int ink[2] = {};
    for (int y = 0; y < font.height(); ++y)
        for (int x = 0; x < font.width(); ++x)
            ink[0] += font.inks('A', x, y),
                ink[1] += font.inks(' ', x, y) || font.inks('\x80', x, y);
    Check({ROW("10 20 ink 0", font.width(), font.height(), ink[0] > 20 ? "ink" : "none", ink[1])});
}
