#include "packcommandline.h"

#include <cstring>

#include "packmessages.h"

namespace
{

const char* const kOutOption = "--out";
const char* const kVersionOption = "--version";
const char* const kCompatibleOption = "--compatible";
const char* const kKeyOption = "--key";
const char* const kTarBallOption = "--tarball";
const char* const kKeepModesOption = "--keep-modes";
const char* const kImagesOption = "--images";
const char* const kBootSetOption = "--boot-set";
const char* const kLayoutOption = "--layout";
const char* const kCheckOption = "--check";
const char* const kPubKeyOption = "--pubkey";
const char* const kOwnVersionOption = "-V";
const char* const kEndOfOptions = "--";

bool isHelp(const char* argument)
{
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

// --version is the package's; one without a value was most likely meant
// to ask for the packer's own.
std::string withoutValue(const char* option)
{
    return packmessages::kOptionWithoutValue + std::string(option) +
           (std::strcmp(option, kVersionOption) == 0 ? packmessages::kPackageVersionHint : "");
}

// The option's value field, or null for an argument that is no option.
std::string* valueFieldOf(const char* option, PackRequest& request)
{
    if (std::strcmp(option, kOutOption) == 0) {
        return &request.cardDir;
    }
    if (std::strcmp(option, kVersionOption) == 0) {
        return &request.version;
    }
    if (std::strcmp(option, kKeyOption) == 0) {
        return &request.keyFile;
    }
    if (std::strcmp(option, kCompatibleOption) == 0) {
        return &request.compatible;
    }
    if (std::strcmp(option, kTarBallOption) == 0) {
        return &request.tarBallRoot;
    }
    if (std::strcmp(option, kBootSetOption) == 0) {
        return &request.bootSetDir;
    }
    if (std::strcmp(option, kLayoutOption) == 0) {
        return &request.layoutFile;
    }
    if (std::strcmp(option, kCheckOption) == 0) {
        return &request.checkDir;
    }
    if (std::strcmp(option, kPubKeyOption) == 0) {
        return &request.pubKeyFile;
    }
    return nullptr;
}

// A check reads a card and makes nothing.
bool checkCheckRequest(const PackRequest& request, std::string& error)
{
    if (!request.cardDir.empty() || !request.version.empty() || !request.compatible.empty() ||
        !request.keyFile.empty() || !request.tarBallRoot.empty() || !request.imageFiles.empty() ||
        !request.bootSetDir.empty() || request.copyImages || request.keepModes) {
        error = packmessages::kCheckAlone;
    }
    return error.empty();
}

bool checkComplete(const PackRequest& request, std::string& error)
{
    if (!request.checkDir.empty()) {
        return checkCheckRequest(request, error);
    }
    if (!request.pubKeyFile.empty()) {
        error = packmessages::kPubKeyWithoutCheck;
    } else if (request.cardDir.empty()) {
        error = packmessages::kNoCardDir;
    } else if (request.version.empty()) {
        error = packmessages::kNoVersion;
    } else if (request.imageFiles.empty() && request.tarBallRoot.empty()) {
        error = packmessages::kNothingToPack;
    } else if (!request.imageFiles.empty() && !request.tarBallRoot.empty()) {
        error = packmessages::kImagesAndTarBall;
    } else if (request.copyImages && !request.tarBallRoot.empty()) {
        error = packmessages::kImagesWithTarBall;
    }
    return error.empty();
}

} // namespace

bool parsePackCommandLine(int argc, const char* const* argv, PackRequest& request,
                          std::string& error)
{
    request = PackRequest();
    error.clear();
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (optionsEnded || argument[0] != '-') {
            request.imageFiles.emplace_back(argument);
        } else if (std::strcmp(argument, kEndOfOptions) == 0) {
            optionsEnded = true;
        } else if (isHelp(argument)) {
            request.helpWanted = true;
            return true;
        } else if (std::strcmp(argument, kOwnVersionOption) == 0) {
            request.versionWanted = true;
            return true;
        } else if (std::strcmp(argument, kKeepModesOption) == 0) {
            request.keepModes = true;
        } else if (std::strcmp(argument, kImagesOption) == 0) {
            request.copyImages = true;
        } else {
            std::string* field = valueFieldOf(argument, request);
            if (field == nullptr) {
                error = packmessages::kUnknownOption + std::string(argument);
                return false;
            }
            if (index + 1 >= argc || argv[index + 1][0] == '\0') {
                error = withoutValue(argument);
                return false;
            }
            if (!field->empty()) {
                error = packmessages::kOptionTwice + std::string(argument);
                return false;
            }
            *field = argv[++index];
        }
    }
    return checkComplete(request, error);
}
