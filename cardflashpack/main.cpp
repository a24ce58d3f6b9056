#include <exception>
#include <iostream>

#include "cardcheck.h"
#include "packcommandline.h"
#include "packer.h"
#include "packmessages.h"
#include "stopsignals.h"

namespace
{

int packOrTell(int argc, char** argv)
{
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
    return request.checkDir.empty() ? runPack(request) : checkCard(request);
}

} // namespace

// An error that ends the run unwinds it: the temporary files go, and the
// card folder stays as it was.
int main(int argc, char** argv)
{
    removeTemporariesOnStop();
    try {
        return packOrTell(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << packmessages::kProgramPrefix << packmessages::kStoppedBy << error.what()
                  << std::endl;
        return 1;
    }
}
