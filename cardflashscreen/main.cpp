// The recovery screen: runs the update tool as the unit's display does,
// passes its output on unchanged, and shows on the framebuffer that the unit
// is being recovered, how far the update has come and how it ended. The
// update runs whether or not there is a screen to show it on.

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framebuffer.h"
#include "recoverypages.h"
#include "recoverytexts.h"
#include "statuslines.h"
#include "toolprocess.h"
#include "updatestate.h"

namespace
{

bool manifestOnCard()
{
    struct stat status = {};
    return ::stat(statuslines::kManifestOnCard, &status) == 0;
}

// The tool's output goes on to the console and the transcript port whatever
// becomes of them: the tool must never wait on a reader that went away.
void passOn(const std::string& text)
{
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (put <= 0)
            return;
        written += size_t(put);
    }
}

// What the screen cost the recovery root's RAM, for the firmware team.
void reportMemory()
{
    rusage usage = {};
    if (::getrusage(RUSAGE_SELF, &usage) == 0)
        (void)std::fprintf(stderr, "cardflashscreen: %ld KiB resident at most\n", usage.ru_maxrss);
}

class Screen
{
public:
    Screen() : m_drawing(m_pages.loadFonts()), m_shownPercent(-1)
    {
        if (!m_drawing)
            (void)std::fprintf(stderr, "cardflashscreen: cannot read the fonts %s, %s\n",
                               recoverytexts::kTitleFont, recoverytexts::kTextFont);
        m_drawing = m_drawing && m_framebuffer.open(recoverytexts::kFramebuffer);
    }

    // A page is drawn when it or its percentage changes, not for every
    // piece of output: drawing takes the processor from the update. One line
    // on standard error whenever the percentage shown changes.
    void show(const UpdateState& state)
    {
        if (m_shown && state.page() == m_shownPage && state.percent() == m_shownPercent)
            return;
        if (m_drawing)
            m_framebuffer.show(m_pages.draw(state));
        const bool installing = state.page() == UpdateState::Page::Installation ||
                                state.page() == UpdateState::Page::Complete;
        if (installing && state.percent() != m_shownPercent)
            (void)std::fprintf(stderr, "progress %d%%\n", state.percent());
        m_shown = true;
        m_shownPage = state.page();
        m_shownPercent = state.percent();
    }

private:
    RecoveryPages m_pages;
    Framebuffer m_framebuffer;
    bool m_drawing;
    bool m_shown = false;
    UpdateState::Page m_shownPage = UpdateState::Page::Installation;
    int m_shownPercent;
};

} // namespace

int main()
{
    (void)std::signal(SIGPIPE, SIG_IGN);
    Screen screen;
    UpdateState state;
    screen.show(state);
    ToolProcess tool;
    int status = 1;
    if (tool.start(statuslines::kToolCommand)) {
        for (std::string text = tool.read(); !text.empty(); text = tool.read()) {
            passOn(text);
            state.received(text, manifestOnCard());
            screen.show(state);
        }
        status = tool.wait();
    }
    state.toolEnded();
    screen.show(state);
    reportMemory();
    return status;
}
