#ifndef FLASHUTILITIES_H
#define FLASHUTILITIES_H

#include <map>
#include <string>
#include <vector>

#include "StdString.h"
#include "commandrunner.h"
#include "lumo_common.h"

// The MTD utilities, started from copies in RAM. The unit runs from the
// flash that an update rewrites: once a partition is erased, a program that
// is not in memory already can no longer start from its file system, the
// shell and the utilities included. So before anything is erased, every
// utility is copied, with the loader and the libraries it needs, into a
// file system held in RAM, and later started from there without a shell.
class FlashUtilities : public CommandRunner
{
public:
    FlashUtilities();
    ~FlashUtilities() override;
    FlashUtilities(const FlashUtilities&) = delete;
    FlashUtilities& operator=(const FlashUtilities&) = delete;

    // False, with the reason in `problem`, when a utility that writing
    // needs is missing or the copies cannot be made.
    [[nodiscard]] bool Prepare(StdString& problem);
    // Runs "UTILITY ARGUMENTS..." (words split at blanks) and returns its
    // wait status, as system() gives it.
    int32 Run(const StdString& commandLine) override;

private:
    bool StageUtility(const std::string& name, const std::string& path);
    bool StageInterpreter(const std::string& interpreterLine, std::vector<std::string>& command);
    bool StageExecutable(const std::string& name, const std::string& path,
                         std::vector<std::string>& command);
    bool StageLibraries(const std::string& path);
    bool StageFile(const std::string& from, const std::string& name);

    std::string m_directory;
    std::string m_loader;
    // Each staged utility's command without its arguments: the copy, behind
    // the copies of the loader or the interpreter that start it.
    std::map<std::string, std::vector<std::string>> m_commands;
};

#endif
