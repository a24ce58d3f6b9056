#include "shellcommand.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

namespace
{

const char8* const temporaryFileTemplate = "/tmp/cardflash-XXXXXX";
const char8* const appendRedirection = " >> ";
const size_t capturedLength = 8;

// Only the beginning of the output is ever used; reading no more keeps a
// chatty command from costing memory.
StdString readBeginning(int descriptor, size_t length)
{
    StdString text;
    if (lseek(descriptor, 0, SEEK_SET) != 0) {
        return text;
    }
    char8 buffer[capturedLength];
    ssize_t count = 0;
    while (text.size() < length && (count = read(descriptor, buffer, length - text.size())) > 0) {
        text.append(buffer, static_cast<size_t>(count));
    }
    return text;
}

} // namespace

int32 runShellCommand(const StdString& command)
{
    // The child writes to our own stdout; what we printed must come first.
    std::cout.flush();
    (void)std::fflush(stdout);
    // The utilities and the unit's application are found through the
    // shell's search path; this is the one place that starts a shell.
    return std::system(command.c_str()); // NOLINT(cert-env33-c)
}

StdString getStdOut(StdString processToGrab)
{
    std::string tmpname = temporaryFileTemplate;
    int descriptor = mkstemp(&tmpname[0]);
    if (descriptor < 0) {
        return StdString();
    }
    StdString cmd = processToGrab;
    cmd += appendRedirection;
    cmd += tmpname.c_str();
    runShellCommand(cmd);
    // Read through the descriptor mkstemp gave us, so that what we read is
    // the very file we created, whatever happened to its name meanwhile.
    StdString stringResult = readBeginning(descriptor, capturedLength);
    close(descriptor);
    (void)std::remove(tmpname.c_str());
    return StdString(stringResult.c_str()).Left(static_cast<int32>(capturedLength));
}
