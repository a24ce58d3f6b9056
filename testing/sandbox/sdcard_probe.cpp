// Test driver for the card classes inside the sandboxed unit. Each argument
// is one question, answered on its own line as "QUESTION -> true|false":
//   available | mounted | mount | unmount   SDCardHandler, a fresh handler each
//   find:TEXT                                MountEntry::findEntry(TEXT)
//   list                                     MountEntry::printList (its lines)
// Exit status 0, or 2 for an unknown question.
#include <iostream>
#include <string>

#include "MountEntry.h"
#include "sdcardhandler.h"

namespace
{

bool ask(const std::string& question, bool& answer)
{
    SDCardHandler handler;
    MountEntry table;
    if (question == "available") {
        answer = handler.IsAvailable();
    } else if (question == "mounted") {
        answer = handler.IsMounted();
    } else if (question == "mount") {
        answer = handler.Mount();
    } else if (question == "unmount") {
        answer = handler.UnMount();
    } else if (question.rfind("find:", 0) == 0) {
        answer = table.findEntry(question.substr(5));
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string question = argv[i];
        if (question == "list") {
            MountEntry().printList();
            continue;
        }
        bool answer = false;
        if (!ask(question, answer)) {
            std::cerr << "sdcard_probe: unknown question: " << question << std::endl;
            return 2;
        }
        std::cout << question << " -> " << (answer ? "true" : "false") << std::endl;
    }
    return 0;
}
