#include "packinputs.h"

#include <algorithm>
#include <sys/stat.h>

#include "StdString.h"
#include "packmessages.h"
#include "partitionmap.h"
#include "unitidentity.h"

namespace
{

// A comma would cut the manifest line, a line break would end it.
const char* const kForbiddenInFields = ",\n\r";
const char kPathSeparator = '/';

std::string baseNameOf(const std::string& path)
{
    const std::size_t separator = path.rfind(kPathSeparator);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string knownNamesText(const std::vector<StdString>& known)
{
    std::string text;
    for (const StdString& name : known) {
        text += ' ';
        text += name;
    }
    return text;
}

bool checkName(const std::string& name, const std::vector<StdString>& known,
               const std::vector<PackedFile>& earlier, std::string& error)
{
    if (name.empty() || name.find_first_of(kForbiddenInFields) != std::string::npos) {
        error = name + packmessages::kBadName;
    } else if (std::none_of(known.begin(), known.end(), [&name](const StdString& knownName) {
                   return static_cast<const std::string&>(knownName) == name;
               })) {
        error = name + packmessages::kUnknownName + knownNamesText(known);
    } else if (std::any_of(earlier.begin(), earlier.end(),
                           [&name](const PackedFile& file) { return file.name == name; })) {
        error = name + packmessages::kNameTwice;
    }
    return error.empty();
}

} // namespace

bool checkVersion(const std::string& version, std::string& error)
{
    if (version.find_first_of(kForbiddenInFields) != std::string::npos) {
        error = packmessages::kBadVersion;
        return false;
    }
    return true;
}

bool checkCompatible(const std::string& compatible, std::string& error)
{
    if (compatible.find_first_of(kForbiddenInFields) != std::string::npos) {
        error = packmessages::kBadCompatible;
        return false;
    }
    return true;
}

bool unitsCanCompare(const std::string& version)
{
    int order = 0;
    return UnitIdentity::CompareVersions(version, version, order);
}

bool checkCardDir(const std::string& cardDir, std::string& error)
{
    struct stat status {
    };
    if (::stat(cardDir.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        error = cardDir + packmessages::kCardDirNotFolder;
        return false;
    }
    return true;
}

bool describeImages(const std::vector<std::string>& imageFiles, const PartitionLayout& layout,
                    std::vector<PackedFile>& images, std::string& error)
{
    const std::vector<StdString> known = PartitionMap::ImageNames();
    images.clear();
    for (const std::string& path : imageFiles) {
        const std::string name = baseNameOf(path);
        PackedFile image;
        if (!checkName(name, known, images, error)) {
            return false;
        }
        if (!describeFile(name, path, image)) {
            error = path + packmessages::kNotReadable;
            return false;
        }
        error = image.length == 0 ? path + packmessages::kEmptyImage
                                  : layout.misfit(path, name, image.length);
        if (!error.empty()) {
            return false;
        }
        images.push_back(image);
    }
    return true;
}
