#ifndef UPDATESTATE_H
#define UPDATESTATE_H

#include <memory>
#include <string>

#include "tooloutput.h"
#include "updateprogress.h"

// What the tool's output has told of the update so far, and which page
// tells the operator: the installation with its percentage, the completion,
// or one of the three failures. The unit's window and the recovery screen
// show the same pages by the same rules.
class UpdateState
{
public:
    enum class Page { Installation, Complete, CardRemoved, Incomplete, Refused };

    UpdateState();

    // Output as it arrived, and whether the card's manifest was still there.
    void received(const std::string& text, bool manifestOnCard);
    // The tool has ended; what it printed last has been received.
    void toolEnded();

    Page page() const;
    int percent() const;
    // Why the package was refused: the tool's first line, printable
    // characters only; "" when the tool gave none.
    std::string reason() const;

private:
    bool failed() const;

    ToolOutput m_output;
    // Known from the first arrival on: the tool has mounted the card by then.
    std::unique_ptr<UpdateProgress> m_progress;
    bool m_writingBegun;
    bool m_endedUntold;
    // Once failed, nothing turns the installation into a completed one. A
    // card that went away keeps its own page.
    bool m_cardGone;
};

#endif
