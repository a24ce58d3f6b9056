#include <iostream>

#include "packcommandline.h"
#include "packer.h"
#include "packmessages.h"
#include "stopsignals.h"

int main(int argc, char** argv)
{
    removeTemporariesOnStop();
    PackRequest request;
    std::string error;
    if (!parsePackCommandLine(argc, argv, request, error)) {
        std::cerr << packmessages::kProgramPrefix << error << packmessages::kSeeHelp << std::endl;
        return 1;
    }
    if (request.helpWanted) {
        for (const char* line : packmessages::kUsage) {
            std::cout << line << '\n';
        }
        return 0;
    }
    if (request.versionWanted) {
        std::cout << packmessages::kOwnVersion << '\n';
        return 0;
    }
    return runPack(request);
}
