#ifndef RECOVERYTEXTS_H
#define RECOVERYTEXTS_H

// What the recovery screen says, and where it takes its fonts from: the
// recovery root holds Debian's console fonts at their own place.
namespace recoverytexts
{

constexpr const char* kTitle = "Recovering the Unit";
constexpr const char* kText = "The unit is being recovered from the SD card.\n"
                              "DO NOT REMOVE the card or switch off the unit.";
constexpr const char* kTitleFont = "/usr/share/consolefonts/Lat15-TerminusBold32x16.psf.gz";
constexpr const char* kTextFont = "/usr/share/consolefonts/Lat15-TerminusBold20x10.psf.gz";
constexpr const char* kFramebuffer = "/dev/fb0";

} // namespace recoverytexts

#endif
