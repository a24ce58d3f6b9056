// One input stands for what a card brings: the first byte picks the block
// size a file is read with, the rest is both the file's content and the
// manifest. Streaming the content block by block must give the checksum text
// of the whole buffer, and no manifest line may crash the updater. Without a
// card no image verifies, so the lines take the rejection paths.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "applicationupdater.h"
#include "filesystem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t blockSize = data[0];
    const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::istringstream inBlocks(content);
    std::istringstream whole(content);
    if (streamedCheckSums(inBlocks, blockSize) != streamedCheckSums(whole, content.size() + 1)) {
        abort();
    }

    ApplicationUpdater updater;
    std::istringstream manifest(content);
    for (std::string line; std::getline(manifest, line);) {
        // Zero bytes stay in: the line parsing must cope with them itself.
        StdString text;
        text.assign(line);
        updater.ProcessManifestLine(text);
    }
    for (const StdString& rejected : updater.GetRejectedFileList()) {
        if (rejected.IsEmpty()) {
            abort();
        }
    }
    return 0;
}
