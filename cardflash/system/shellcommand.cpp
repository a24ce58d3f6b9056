#include "shellcommand.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

const char8* const temporaryFileTemplate = "/tmp/cardflash-XXXXXX";
const char8* const appendRedirection = " >> ";
const size_t capturedLength = 8;
const int32 notStartedStatus = 127 << 8;
const size_t pipeBlockSize = 4096;

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
    while (text.size() < length &&
           (count = read(descriptor, buffer, std::min(sizeof buffer, length - text.size()))) > 0) {
        text.append(buffer, static_cast<size_t>(count));
    }
    return text;
}

void flushOurOutput()
{
    std::cout.flush();
    (void)std::fflush(stdout);
}

// The child is started with the standard output `outputDescriptor` (our
// own when negative); the result is its wait status.
int32 spawnAndWait(const std::vector<std::string>& arguments, int outputDescriptor,
                   int unusedDescriptor, std::string* output, std::size_t limit)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputDescriptor >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputDescriptor, STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, unusedDescriptor);
    }
    flushOurOutput();
    pid_t child = 0;
    const int started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (outputDescriptor >= 0) {
        close(outputDescriptor);
    }
    if (output != nullptr) {
        char buffer[pipeBlockSize];
        ssize_t count = 0;
        while ((count = read(unusedDescriptor, buffer, sizeof buffer)) > 0) {
            output->append(buffer, std::min(static_cast<std::size_t>(count),
                                            limit - std::min(limit, output->size())));
        }
        close(unusedDescriptor);
    }
    if (started != 0) {
        return notStartedStatus;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return notStartedStatus;
        }
    }
    return status;
}

} // namespace

int32 runProgram(const std::vector<std::string>& arguments)
{
    return spawnAndWait(arguments, -1, -1, nullptr, 0);
}

bool runProgramForOutput(const std::vector<std::string>& arguments, std::size_t limit,
                         std::string& output)
{
    output.clear();
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    const int32 status = spawnAndWait(arguments, pipeEnds[1], pipeEnds[0], &output, limit);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int32 runShellCommand(const StdString& command)
{
    // The child writes to our own stdout; what we printed must come first.
    flushOurOutput();
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
