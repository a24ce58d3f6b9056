#include "packedfile.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "filesystem.h"
#include "packmessages.h"

namespace
{

// The offset of the first zero byte, or the length when there is none.
bool bytesBeforeFirstZero(const std::string& path, std::uint64_t& count)
{
    std::ifstream input(path, std::ios::in | std::ios::binary);
    const std::unique_ptr<char[]> block(new char[kCheckSumBlockSize]);
    count = 0;
    while (input) {
        input.read(block.get(), static_cast<std::streamsize>(kCheckSumBlockSize));
        const auto got = static_cast<std::size_t>(input.gcount());
        const void* zero = std::memchr(block.get(), '\0', got);
        if (zero != nullptr) {
            count += static_cast<const char*>(zero) - block.get();
            return true;
        }
        count += got;
    }
    return !input.bad();
}

} // namespace

bool describeFile(const std::string& name, const std::string& path, PackedFile& file)
{
    struct stat status {
    };
    FileSystem fileSystem;
    file = PackedFile();
    file.name = name;
    file.path = path;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           fileSystem.getFileDigests(path, file.checkSums, file.sha256, file.length) &&
           bytesBeforeFirstZero(path, file.legacyCoverage);
}

bool hasWeakLegacyText(const PackedFile& file)
{
    return file.legacyCoverage < file.length;
}

std::string weakLegacyTextWarning(const PackedFile& file)
{
    return packmessages::kWarning + file.name + packmessages::kWeakLegacyCovers +
           std::to_string(file.legacyCoverage) + packmessages::kWeakLegacyOf +
           std::to_string(file.length) + packmessages::kWeakLegacyReason;
}
