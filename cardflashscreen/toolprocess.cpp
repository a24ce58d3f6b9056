#include "toolprocess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

const int failedToStart = 127;
const int signalled = 128;

} // namespace

ToolProcess::ToolProcess() : m_pid(-1), m_output(-1) {}

ToolProcess::~ToolProcess()
{
    if (m_output >= 0)
        (void)::close(m_output);
}

bool ToolProcess::start(const std::string& command)
{
    std::vector<std::string> words;
    std::istringstream split(command);
    for (std::string word; split >> word;)
        words.push_back(word);
    std::vector<char*> arguments;
    arguments.reserve(words.size() + 1);
    for (std::string& word : words)
        arguments.push_back(&word[0]);
    arguments.push_back(nullptr);
    int pipe[2] = {-1, -1};
    if (words.empty() || ::pipe2(pipe, O_CLOEXEC) != 0)
        return false;
    m_pid = ::fork();
    if (m_pid == 0) {
        (void)::dup2(pipe[1], STDOUT_FILENO);
        (void)::execv(arguments[0], arguments.data());
        (void)std::fprintf(stderr, "cardflashscreen: cannot run %s: %s\n", arguments[0],
                           std::strerror(errno));
        ::_exit(failedToStart);
    }
    (void)::close(pipe[1]);
    m_output = pipe[0];
    if (m_pid < 0) {
        (void)::close(m_output);
        m_output = -1;
    }
    return m_pid > 0;
}

std::string ToolProcess::read()
{
    char block[4096];
    ssize_t got = -1;
    do
        got = ::read(m_output, block, sizeof block);
    while (got < 0 && errno == EINTR);
    return got > 0 ? std::string(block, size_t(got)) : std::string();
}

int ToolProcess::wait()
{
    int status = 0;
    pid_t ended = -1;
    do
        ended = ::waitpid(m_pid, &status, 0);
    while (ended < 0 && errno == EINTR);
    if (ended != m_pid)
        return failedToStart;
    return WIFSIGNALED(status) ? signalled + WTERMSIG(status) : WEXITSTATUS(status);
}
