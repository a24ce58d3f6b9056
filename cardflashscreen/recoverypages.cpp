#include "recoverypages.h"

#include <algorithm>

#include "pagetexts.h"
#include "recoverytexts.h"

namespace
{

const int windowWidth = 479;
const int windowHeight = 272;
const std::uint32_t background = 0xe8ece8;
const std::uint32_t ink = 0x000000;
const std::uint32_t barFrame = 0x989c98;
const std::uint32_t barEmpty = 0xf8fcf8;
const std::uint32_t barFull = 0x308cc0;
const int margin = 6;
const int titleTop = 20;
const int textTop = 66;
const int textSpacing = 2;
const int titleSpacing = 8;
const int completeTop = 52;
const int completeColumns = 25;
const int percentTop = 164;
const int barLeft = 47;
const int barTop = 192;
const int barWidth = 391;
const int barHeight = 28;
const int barInset = 3;
const size_t reasonLines = 2;
const std::string ellipsis = "...";

int columnsIn(const PsfFont& font)
{
    return (windowWidth - 2 * margin) / font.width();
}

int centred(const PsfFont& font, const std::string& line)
{
    return (windowWidth - int(line.size()) * font.width()) / 2;
}

void breakParagraph(const std::string& paragraph, size_t columns, std::vector<std::string>& lines)
{
    std::string line;
    size_t at = 0;
    while (at <= paragraph.size()) {
        size_t end = paragraph.find(' ', at);
        if (end == std::string::npos)
            end = paragraph.size();
        std::string word = paragraph.substr(at, end - at);
        at = end + 1;
        if (word.empty())
            continue;
        if (!line.empty() && line.size() + 1 + word.size() > columns) {
            lines.push_back(line);
            line.clear();
        }
        // A word longer than a line is cut where the line ends.
        for (; line.empty() && word.size() > columns; word.erase(0, columns))
            lines.push_back(word.substr(0, columns));
        line += (line.empty() ? "" : " ") + word;
    }
    lines.push_back(line);
}

} // namespace

bool RecoveryPages::loadFonts()
{
    return m_title.load(recoverytexts::kTitleFont) && m_text.load(recoverytexts::kTextFont);
}

std::vector<std::string> RecoveryPages::linesOf(const std::string& text, size_t columns)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        breakParagraph(text.substr(at, end - at), std::max<size_t>(columns, 1), lines);
        at = end + 1;
    }
    return lines;
}

Canvas RecoveryPages::draw(const UpdateState& state) const
{
    Canvas canvas(windowWidth, windowHeight, background);
    switch (state.page()) {
    case UpdateState::Page::Installation:
        installation(canvas, state.percent());
        break;
    case UpdateState::Page::Complete:
        complete(canvas);
        break;
    case UpdateState::Page::CardRemoved:
        failure(canvas, pagetexts::kFailureTitle, pagetexts::kFailureText);
        break;
    case UpdateState::Page::Incomplete:
        failure(canvas, pagetexts::kIncompleteTitle, pagetexts::kIncompleteText);
        break;
    case UpdateState::Page::Refused:
        failure(canvas, pagetexts::kRefusedTitle, refusal(state.reason()));
        break;
    }
    return canvas;
}

// Each line centred, from Y down; returns where the next line would go.
int RecoveryPages::lines(Canvas& canvas, const PsfFont& font, int y,
                         const std::vector<std::string>& text, int spacing) const
{
    for (const std::string& line : text) {
        canvas.text(font, centred(font, line), y, line, ink);
        y += font.height() + spacing;
    }
    return y;
}

void RecoveryPages::installation(Canvas& canvas, int percent) const
{
    lines(canvas, m_title, titleTop, {recoverytexts::kTitle}, 0);
    lines(canvas, m_text, textTop, linesOf(recoverytexts::kText, size_t(columnsIn(m_text))),
          textSpacing);
    lines(canvas, m_text, percentTop, {std::to_string(percent) + "%"}, 0);
    canvas.fill(barLeft, barTop, barWidth, barHeight, barEmpty);
    canvas.frame(barLeft, barTop, barWidth, barHeight, barFrame);
    const int inside = barWidth - 2 * barInset;
    canvas.fill(barLeft + barInset, barTop + barInset, inside * std::clamp(percent, 0, 100) / 100,
                barHeight - 2 * barInset, barFull);
}

void RecoveryPages::complete(Canvas& canvas) const
{
    lines(canvas, m_title, completeTop, linesOf(pagetexts::kComplete, completeColumns),
          titleSpacing);
}

void RecoveryPages::failure(Canvas& canvas, const char* title, const std::string& text) const
{
    lines(canvas, m_title, titleTop, {title}, 0);
    lines(canvas, m_text, textTop, linesOf(text, size_t(columnsIn(m_text))), textSpacing);
}

// The refusal's text with its reason, in two lines at most: a longer one
// ends with an ellipsis.
std::string RecoveryPages::refusal(const std::string& reason) const
{
    const size_t columns = size_t(columnsIn(m_text));
    std::vector<std::string> shown = linesOf(reason, columns);
    if (shown.size() > reasonLines) {
        shown.resize(reasonLines);
        shown.back() = shown.back().substr(0, columns - ellipsis.size()) + ellipsis;
    }
    std::string joined;
    for (const std::string& line : shown)
        joined += (joined.empty() ? "" : "\n") + line;
    std::string text = pagetexts::kRefusedText;
    const size_t placeholder = text.find("%1");
    return text.replace(placeholder, 2, joined);
}
