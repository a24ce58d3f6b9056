#ifndef STATUSLINES_H
#define STATUSLINES_H

// What passes between cardflash and cardflashview: the command the display
// starts, the manifest whose presence tells it that the card is still in,
// and the tool's lines that it acts on. Only the tool prints these lines:
// text from the card never carries them.
namespace statuslines
{

constexpr const char* kToolCommand = "/usr/share/lumo/bin/cardflash -f";
constexpr const char* kManifestOnCard = "/mnt/sd-card/lumoManifest";
constexpr const char* kFlashComplete = "FLASH COMPLETE";
constexpr const char* kFlashFailed = "FLASH FAILED";
// The line before the last of an update that stopped after it had begun
// writing (a refused package left the unit as it was).
constexpr const char* kUpdateIncomplete = "UPDATE INCOMPLETE";
// "Unchanged NAME on DEVICE": the partition holds the image already, and the
// update leaves it as it is.
constexpr const char* kUnchanged = "Unchanged ";
constexpr const char* kUnchangedOn = " on ";
// Before each erase "Erasing DEVICE", before each write "Writing NAME to
// DEVICE": the display follows the writing by them.
constexpr const char* kErasing = "Erasing ";
constexpr const char* kWriting = "Writing ";
constexpr const char* kWritingTo = " to ";
// "Unpacking NAME" before a checked tar ball is unpacked onto the unit.
constexpr const char* kUnpacking = "Unpacking ";

} // namespace statuslines

#endif
