#include "commandline.h"

#include <csignal>
#include <exception>
#include <initializer_list>

#include "StdString.h"
#include "applicationupdater.h"
#include "console.h"
#include "filesystem.h"
#include "sdcardhandler.h"
#include "shellcommand.h"

namespace
{

const int32 success = 0;
const int32 failure = -1;
// A tar ball that broke off while it was unpacked ends the run at once, once
// its action has told what it did.
const int32 damagedArchiveStatus = 1;

const std::initializer_list<const char8*> helpOption = {"-h", "--help"};
const std::initializer_list<const char8*> flashOption = {"-f", "--flashboard"};
const std::initializer_list<const char8*> verifyOption = {"-v", "--verifySDCard"};
const std::initializer_list<const char8*> versionOption = {"-g", "--getVersionToUpdate"};
// The help names "-B"; "B" without a dash has always worked too.
const std::initializer_list<const char8*> uninstallOption = {"-u", "-B", "B",
                                                             "--uninstallBootstrap"};
const std::initializer_list<const char8*> installOption = {"-i", "--install"};
const std::initializer_list<const char8*> checkSumsOption = {"-c", "--calcsums"};

const std::initializer_list<const char8*> helpText = {
    "-i or --install to install",
    "-c or --calcsums filename to calculate sums",
    "-f or --flashboard in order to flash the board",
    "-v or --verifySDCard in order to make sure the SD Card is valid for update",
    "-g or --getVersionToUpdate in order to extract the version from the file",
    "-u, -B or --uninstallBootstrap in order to remove the bootstrap",
};

const char8* const installedVersionQuery = "/usr/share/lumo/bin/TestTessaron --version";
const char8* const notUpdatedMessage = "Application not updated!";
const char8* const partlyUpdatedMessage = "Application update incomplete!";
const char8* const updatedMessage = "Application succesfully updated!";
const char8* const fromVersionMessage = "From version: ";
const char8* const toVersionMessage = "To version: ";
const char8* const removeCardMessage = "PLEASE REMOVE YOUR SD CARD";
const char8* const rebootMessage = "Then reboot your system.";
const char8* const noFileNameMessage =
    "You have not provided a file name for me to provide a checksum for.";
const char8* const checkSumSeparator = ", ";
const char8* const errorNumberMessage = "You have had an error numbered: ";

bool matches(const StdString& arg, std::initializer_list<const char8*> texts)
{
    for (const char8* text : texts) {
        if (arg == text) {
            return true;
        }
    }
    return false;
}

void printHelp()
{
    for (const char8* line : helpText) {
        printLine(line);
    }
}

// True when the run must end: the tar ball broke off.
bool flashBoard()
{
    ApplicationUpdater updater;
    SDCardHandler sdCard;
    sdCard.Mount();
    updater.ExecuteUpdate();
    return updater.TarBallDamaged();
}

void verifyCard()
{
    ApplicationUpdater updater;
    SDCardHandler sdCard;
    sdCard.Mount();
    updater.ValidateInstallationMedia();
}

void printVersionToUpdate()
{
    ApplicationUpdater updater;
    SDCardHandler sdCard;
    sdCard.Mount();
    updater.GetVersion();
}

void uninstallBootstrap()
{
    ApplicationUpdater updater;
    updater.RemoveBootstrap();
}

StdString trimmed(StdString text)
{
    return text.Trim();
}

void printInstallReport(const StdString& oldVersion, const StdString& newVersion)
{
    printLine(fromVersionMessage + trimmed(oldVersion));
    printLine(toVersionMessage + trimmed(newVersion));
}

// An install that wrote some of the tar ball before it failed has changed
// the unit: it is never reported as not done.
int32 install(StdString& oldVersion, StdString& newVersion, bool& damagedArchive)
{
    ApplicationUpdater updater;
    ExtractionResult result;
    try {
        SDCardHandler sdCard;
        sdCard.Mount();
        if (updater.checkTarBall()) {
            oldVersion = getStdOut(installedVersionQuery);
            result = updater.InstallTarBall();
            newVersion = getStdOut(installedVersionQuery);
        }
    } catch (const std::exception&) {
        result.complete = false;
    }
    damagedArchive = result.damaged;
    if (result.complete) {
        printLine(updatedMessage);
        printInstallReport(oldVersion, newVersion);
        printLine(removeCardMessage);
        printLine(rebootMessage);
        printLine("");
        return success;
    }
    printLine(result.wroteSomething ? partlyUpdatedMessage : notUpdatedMessage);
    return failure;
}

// The file name stays on the command line: the next turn examines it as an
// option like any other argument.
int32 printCheckSums(int32 argumentIndex, int32 argc, char8** argv)
{
    if (argumentIndex + 1 >= argc) {
        printLine(noFileNameMessage);
        return failure;
    }
    FileSystem fileSystem;
    const StdString fileName = argv[argumentIndex + 1];
    printLine(fileName + checkSumSeparator + fileSystem.getCheckSums(fileName));
    return success;
}

} // namespace

int32 runCardflash(int32 argc, char8** argv)
{
    // A reader that goes away (the display, when it dies) must not end an
    // update half-way: the output is lost, the writing goes on. The MTD
    // utilities inherit this.
    (void)std::signal(SIGPIPE, SIG_IGN);
    int32 retVal = failure;
    StdString oldVersion;
    StdString newVersion;
    bool damagedArchive = false;
    try {
        for (int32 argumentIndex = 1; argumentIndex < argc && !damagedArchive; ++argumentIndex) {
            const StdString arg = argv[argumentIndex];
            if (matches(arg, helpOption)) {
                printHelp();
            } else if (matches(arg, flashOption)) {
                damagedArchive = flashBoard();
            } else if (matches(arg, verifyOption)) {
                verifyCard();
            } else if (matches(arg, versionOption)) {
                printVersionToUpdate();
            } else if (matches(arg, uninstallOption)) {
                uninstallBootstrap();
            } else if (matches(arg, installOption)) {
                retVal = install(oldVersion, newVersion, damagedArchive);
            } else if (matches(arg, checkSumsOption)) {
                retVal = printCheckSums(argumentIndex, argc, argv);
            }
        }
    } catch (int32 errorCode) {
        printLine(errorNumberMessage + std::to_string(errorCode));
    } catch (const std::exception&) {
        // Each action has told its own outcome; nothing more is known here.
    }
    return damagedArchive ? damagedArchiveStatus : retVal;
}
