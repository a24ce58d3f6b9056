#ifndef PAGETEXTS_H
#define PAGETEXTS_H

// The texts of the pages that end an update, on the unit's window and on
// the recovery screen alike.
namespace pagetexts
{

constexpr const char* kComplete = "Installation Complete....Unplug and Reboot";
constexpr const char* kFailureTitle = "Installation Failed";
constexpr const char* kFailureText =
    "You have removed the SD Card or there has been a hardware failure.  "
    "Unplug the unit and plug it back in to try again.";
// Nothing was written: the same card gives the same refusal. %1 is the reason.
constexpr const char* kRefusedTitle = "Package Refused";
constexpr const char* kRefusedText = "The update package on the SD card was refused.\n"
                                     "The unit was not changed.\n\n%1\n\n"
                                     "Remove the SD card and restart the unit.";
// Something was written: the unit needs the update to be run again.
constexpr const char* kIncompleteTitle = "Update Incomplete";
constexpr const char* kIncompleteText = "The update did not complete.\n"
                                        "Leave the SD card in and restart the unit to try again.";

} // namespace pagetexts

#endif
