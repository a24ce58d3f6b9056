#include "manifestwriter.h"

#include "packagemanifest.h"
#include "partitionmap.h"

namespace
{

const char kFieldSeparator = ',';
const char kLineEnd = '\n';

} // namespace

std::string manifestText(const std::string& version, const std::string& compatible,
                         const std::vector<PackedFile>& files)
{
    std::string text = PartitionMap::VersionLine() + kFieldSeparator + version + kLineEnd;
    if (!compatible.empty()) {
        text += PartitionMap::CompatibleLine() + kFieldSeparator + compatible + kLineEnd;
    }
    for (const PackedFile& file : files) {
        text += file.name + kFieldSeparator + file.checkSums + kFieldSeparator +
                ManifestReader::Sha256FieldPrefix() + file.sha256 + kLineEnd;
    }
    return text;
}
