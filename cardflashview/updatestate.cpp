#include "updatestate.h"

#include "statuslines.h"

namespace
{

const int completePercent = 100;

bool startsWith(const std::string& line, const char* prefix)
{
    return line.rfind(prefix, 0) == 0;
}

// Erasing a partition or unpacking the tar ball changes the unit: from
// then on an update that stops has left it incomplete.
bool writes(const std::string& line)
{
    return startsWith(line, statuslines::kErasing) || startsWith(line, statuslines::kUnpacking);
}

} // namespace

UpdateState::UpdateState()
    : m_output(
          {statuslines::kFlashComplete, statuslines::kFlashFailed, statuslines::kUpdateIncomplete}),
      m_writingBegun(false), m_endedUntold(false), m_cardGone(false)
{
}

void UpdateState::received(const std::string& text, bool manifestOnCard)
{
    const std::vector<std::string> lines = m_output.add(text);
    if (!m_progress)
        m_progress = std::make_unique<UpdateProgress>(UpdateProgress::imagesOfPackage());
    m_progress->arrival();
    for (const std::string& line : lines) {
        m_progress->line(line);
        m_writingBegun = m_writingBegun || writes(line);
    }
    m_cardGone = m_cardGone || !manifestOnCard;
}

// A tool that ends without its last line has not told how the update went:
// what it did so far decides. One that told changes nothing.
void UpdateState::toolEnded()
{
    m_endedUntold =
        !m_output.seen(statuslines::kFlashComplete) && !m_output.seen(statuslines::kFlashFailed);
}

bool UpdateState::failed() const
{
    return m_cardGone || m_endedUntold || m_output.seen(statuslines::kFlashFailed);
}

UpdateState::Page UpdateState::page() const
{
    if (!failed())
        return m_output.seen(statuslines::kFlashComplete) ? Page::Complete : Page::Installation;
    if (m_cardGone)
        return Page::CardRemoved;
    if (m_output.seen(statuslines::kUpdateIncomplete) || (m_endedUntold && m_writingBegun))
        return Page::Incomplete;
    return Page::Refused;
}

int UpdateState::percent() const
{
    if (page() == Page::Complete)
        return completePercent;
    return m_progress ? m_progress->percent() : 0;
}

std::string UpdateState::reason() const
{
    std::string reason = m_output.firstLine();
    if (m_endedUntold || reason.find(statuslines::kFlashFailed) != std::string::npos)
        return std::string();
    for (char& c : reason)
        if (c < ' ' || c > '~')
            c = '?';
    return reason;
}
