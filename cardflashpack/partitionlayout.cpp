#include "partitionlayout.h"

#include <sstream>

#include "filesystem.h"
#include "packmessages.h"
#include "partitionmap.h"

namespace
{

const std::size_t kLongestLayout = std::size_t{64} * 1024;
const char* const kHeaderStart = "dev:";
const char* const kDevicePrefix = "mtd";
const char* const kDeviceFolder = "/dev/";
const char* const kDecimalDigits = "0123456789";
const char* const kHexDigits = "0123456789abcdefABCDEF";
// Sixteen hex digits are 64 bits.
const std::size_t kLongestSize = 16;
const int kHex = 16;

} // namespace

bool PartitionLayout::read(const std::string& file, std::string& error)
{
    FileSystem fileSystem;
    std::string text;
    if (!fileSystem.readFileBytes(file, kLongestLayout, text)) {
        error = file + packmessages::kFileUnreadable;
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    for (std::size_t number = 1; std::getline(lines, line); ++number) {
        if (!readLine(line)) {
            error = file + packmessages::kLayoutLine + std::to_string(number) +
                    packmessages::kLayoutLineForm;
            return false;
        }
    }
    m_file = file;
    return true;
}

// A blank line and the header are passed over.
bool PartitionLayout::readLine(const std::string& line)
{
    std::istringstream fields(line);
    std::string device;
    std::string size;
    if (!(fields >> device) || device == kHeaderStart) {
        return true;
    }
    const std::size_t prefix = std::string(kDevicePrefix).size();
    if (!(fields >> size) || device.size() < prefix + 2 ||
        device.compare(0, prefix, kDevicePrefix) != 0 || device.back() != ':' ||
        device.find_first_not_of(kDecimalDigits, prefix) != device.size() - 1 || size.empty() ||
        size.size() > kLongestSize || size.find_first_not_of(kHexDigits) != std::string::npos) {
        return false;
    }
    device.pop_back();
    m_sizes[kDeviceFolder + device] = std::stoull(size, nullptr, kHex);
    return true;
}

std::string PartitionLayout::misfit(const std::string& subject, const std::string& imageName,
                                    std::uint64_t length) const
{
    if (!given()) {
        return std::string();
    }
    const std::string device = PartitionMap::DeviceFor(StdString(imageName.c_str())).c_str();
    const auto partition = m_sizes.find(device);
    if (partition == m_sizes.end()) {
        return subject + packmessages::kNoPartition + device + packmessages::kNoPartitionWhy;
    }
    if (length > partition->second) {
        return subject + packmessages::kTooLarge + std::to_string(length) +
               packmessages::kTooLargeBytes + device + packmessages::kTooLargeHolds +
               std::to_string(partition->second) + packmessages::kTooLargeEnd;
    }
    return std::string();
}
