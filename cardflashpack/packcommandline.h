#ifndef PACKCOMMANDLINE_H
#define PACKCOMMANDLINE_H

#include <string>
#include <vector>

// What the firmware team asked for on the command line, before any file is
// looked at. An option's value is never empty.
struct PackRequest {
    std::string cardDir;
    std::string version;
    std::string compatible;
    std::string keyFile;
    std::string tarBallRoot;
    std::vector<std::string> imageFiles;
    std::string bootSetDir;
    std::string layoutFile;
    // --check CARD_DIR: the card to check, with the keys of --pubkey.
    std::string checkDir;
    std::string pubKeyFile;
    bool copyImages = false;
    bool keepModes = false;
    bool helpWanted = false;
    bool versionWanted = false;
};

// False, with the reason in `error`, when the arguments do not form a request.
bool parsePackCommandLine(int argc, const char* const* argv, PackRequest& request,
                          std::string& error);

#endif
