#ifndef RECOVERYPAGES_H
#define RECOVERYPAGES_H

#include <string>
#include <vector>

#include "canvas.h"
#include "psffont.h"
#include "updatestate.h"

// The pages of the recovery screen, in the window of the unit's display
// (479 by 272 pixels at the screen's top left) and in its colours: while the
// unit is recovered, the recovery and its progress; at the end, the same
// completion and failure pages as the unit's own display.
class RecoveryPages
{
public:
    // False when a font cannot be read: there is nothing to write with.
    bool loadFonts();
    Canvas draw(const UpdateState& state) const;

    // TEXT in lines of at most COLUMNS characters, broken at blanks and at
    // its own line ends.
    static std::vector<std::string> linesOf(const std::string& text, size_t columns);

private:
    void installation(Canvas& canvas, int percent) const;
    void complete(Canvas& canvas) const;
    void failure(Canvas& canvas, const char* title, const std::string& text) const;
    int lines(Canvas& canvas, const PsfFont& font, int y, const std::vector<std::string>& text,
              int spacing) const;
    std::string refusal(const std::string& reason) const;

    PsfFont m_title;
    PsfFont m_text;
};

#endif
