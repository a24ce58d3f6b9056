#ifndef TOOLPROCESS_H
#define TOOLPROCESS_H

#include <string>
#include <sys/types.h>

// The update tool as a child process whose standard output comes through a
// pipe; its standard error stays the screen's own.
class ToolProcess
{
public:
    ToolProcess();
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // COMMAND: the program and its arguments, separated by blanks.
    bool start(const std::string& command);
    // What the tool printed next, as it came; "" once it has closed its output.
    std::string read();
    // The tool's exit status once it has ended; 128 and the signal's number
    // when a signal ended it.
    int wait();

private:
    pid_t m_pid;
    int m_output;
};

#endif
