#include "cardtext.h"

#include <initializer_list>

#include "statuslines.h"

namespace
{

const std::size_t longestShownName = 64;
const char8* const cutShort = "...";
const char8 shownInstead = '?';
const char8 markerBlank = ' ';

} // namespace

std::string shownCardText(std::string text)
{
    for (const std::string marker : {statuslines::kFlashComplete, statuslines::kFlashFailed}) {
        const std::size_t blank = marker.find(markerBlank);
        for (std::size_t at = text.find(marker); at != std::string::npos;
             at = text.find(marker, at + 1)) {
            text[at + blank] = shownInstead;
        }
    }
    return text;
}

// Hostile bytes and endless names stay off the operator's screen.
std::string shownCardName(const std::string& name)
{
    std::string shown = name.substr(0, longestShownName);
    for (char8& c : shown) {
        if (c < ' ' || c > '~') {
            c = shownInstead;
        }
    }
    if (name.size() > longestShownName) {
        shown += cutShort;
    }
    return shownCardText(shown);
}
