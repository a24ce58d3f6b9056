#include "cardcheck.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "Stat.h"
#include "cardcopies.h"
#include "cardtext.h"
#include "filesystem.h"
#include "imagedigests.h"
#include "manifestsignature.h"
#include "packagemanifest.h"
#include "packagetrust.h"
#include "packinputs.h"
#include "packmessages.h"
#include "partitionlayout.h"
#include "partitionmap.h"
#include "recoveryroot.h"
#include "signingkey.h"
#include "unitidentity.h"

namespace
{

const int kTaken = 0;
const int kNotTaken = 1;
const std::size_t kArchiveBlockSize = 10240;
const char* const kParentFolder = "..";

struct ArchiveReaderFree {
    void operator()(archive* reader) const { (void)archive_read_free(reader); }
};

// Only a regular file is read: a card folder on the desk may hold a fifo
// or a link where the unit's FAT card can hold neither.
bool isRegularFile(const std::string& path)
{
    struct stat status {
    };
    return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isThere(const std::string& path)
{
    struct stat status {
    };
    return ::lstat(path.c_str(), &status) == 0;
}

// An entry that the unit's unpacking refuses: an absolute path, or one
// through "..".
bool leadsOutOfRoot(const std::string& path)
{
    if (path.empty() || path[0] == '/') {
        return true;
    }
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (path.compare(start, end - start, kParentFolder) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The card, line by line, as the unit reads it. Every line printed about
// the card goes through the unit's own making-safe of card text.
class CardCheck
{
public:
    CardCheck(std::string cardDir, std::string keyFile, std::vector<std::string> keys,
              const PartitionLayout& layout)
        : m_cardDir(std::move(cardDir)), m_keyFile(std::move(keyFile)), m_keys(std::move(keys)),
          m_layout(layout)
    {
    }

    // Whether the unit takes the card, and its boot set.
    bool run()
    {
        if (!readManifest()) {
            return false;
        }
        const bool trusted = checkSignature();
        ManifestReader reader(m_manifest);
        ManifestLine line;
        while (reader.Next(line)) {
            takeLine(line);
        }
        const bool imagesTaken = checkImages();
        const bool bootSetTaken = checkBootSet();
        if (!m_tarBallLine && m_images.empty()) {
            std::cout << packmessages::kCheckNothing << '\n';
        }
        // The unit installs the tar ball of a package that has one.
        const bool contentTaken = m_tarBallLine ? checkTarBall() : imagesTaken;
        return trusted && bootSetTaken && contentTaken;
    }

private:
    std::string pathOf(const std::string& cardPath) const { return m_cardDir + "/" + cardPath; }

    // One line about a file: its problem, or that it is good.
    static bool tell(const std::string& path, const std::string& problem,
                     const std::string& good = packmessages::kCheckOk)
    {
        std::cout << (problem.empty() ? path + good : problem) << '\n';
        return problem.empty();
    }

    bool readManifest()
    {
        const std::string path = pathOf(PartitionMap::ManifestFileName());
        FileSystem fileSystem;
        if (!isRegularFile(path) || !fileSystem.readFileBytes(path, kLongestManifest, m_manifest)) {
            Stat status;
            return tell(path, path + (status.lstat(path) && status.size() > kLongestManifest
                                          ? packmessages::kCheckManifestTooLong
                                          : packmessages::kCheckNoManifest));
        }
        const UnitIdentity::PackageClaim claim = UnitIdentity::ClaimOf(m_manifest);
        std::cout << path << packmessages::kCheckVersion
                  << (claim.hasVersion ? shownCardName(claim.version) : packmessages::kCheckNone)
                  << packmessages::kCheckCompatible
                  << (claim.hasCompatible ? shownCardName(claim.compatible)
                                          : packmessages::kCheckNone)
                  << '\n';
        return true;
    }

    // A signature file that is there but cannot be read is empty: no key
    // verifies it.
    bool checkSignature()
    {
        const std::string path = pathOf(PartitionMap::SignatureFileName());
        if (isThere(path)) {
            FileSystem fileSystem;
            m_signature.emplace();
            if (isRegularFile(path)) {
                (void)fileSystem.readFileBytes(path, kEd25519SignatureSize, *m_signature);
            }
        }
        if (m_keyFile.empty()) {
            return tell(path, std::string(), packmessages::kCheckUnsignedUnit);
        }
        m_signedUnit = true;
        switch (PackageTrust::Decide(true, m_keys, m_signature, m_manifest)) {
        case PackageTrust::Verdict::SignatureMissing:
            return tell(path, path + packmessages::kCheckSignatureMissing);
        case PackageTrust::Verdict::SignatureInvalid:
            return tell(path, path + packmessages::kCheckSignatureInvalid + m_keyFile +
                                  packmessages::kCheckSignatureInvalidEnd);
        default:
            return tell(path, std::string(), packmessages::kCheckSignatureGood + m_keyFile);
        }
    }

    // The lines the unit acts on, sorted as the unit sorts them.
    void takeLine(const ManifestLine& line)
    {
        if (line.name == PartitionMap::TarBallFileName()) {
            m_tarBallLine = line;
        } else if (PartitionMap::IsBootSetLine(line.name)) {
            m_bootSetLines[line.name] = line;
        } else if (ManifestReader::LeavesImageDirectory(line.name)) {
            m_firstLeaving = m_leaving++ == 0 ? line.name : m_firstLeaving;
        } else if (!PartitionMap::DeviceFor(line.name).IsEmpty()) {
            checkImage(line);
        }
    }

    // Every line of an image is checked; the first problem is told.
    void checkImage(const ManifestLine& line)
    {
        const std::string name = line.name.c_str();
        if (m_problems.count(name) == 0) {
            m_images.push_back(name);
        }
        std::string& problem = m_problems[name];
        if (problem.empty()) {
            const std::string cardPath = std::string(kCardImageFolder) + "/" + name;
            problem = fileProblem(cardPath, line);
            problem = problem.empty()
                          ? m_layout.misfit(pathOf(cardPath), name, digestsOf(cardPath).length)
                          : problem;
        }
    }

    bool checkImages()
    {
        bool taken = !m_images.empty();
        for (const std::string& name : m_images) {
            taken =
                tell(pathOf(std::string(kCardImageFolder) + "/" + name), m_problems[name]) && taken;
        }
        if (m_leaving > 0) {
            std::cout << shownCardName(m_firstLeaving) << packmessages::kCheckLeaves << m_leaving
                      << packmessages::kCheckLeavesEnd << '\n';
        }
        return taken && m_leaving == 0;
    }

    // The unit relies on a boot set only when each of its files is the one
    // that the manifest names; an unsigned unit also takes one without
    // lines. Its recovery root must take the package too.
    bool checkBootSet()
    {
        bool anythingThere = !m_bootSetLines.empty();
        for (const StdString& cardPath : PartitionMap::CardBootSet()) {
            anythingThere = anythingThere || isThere(pathOf(cardPath));
        }
        bool usable = true;
        for (const StdString& cardPath : PartitionMap::CardBootSet()) {
            if (anythingThere) {
                usable = tell(pathOf(cardPath), bootSetProblem(cardPath)) && usable;
            }
        }
        return usable;
    }

    std::string bootSetProblem(const StdString& cardPath)
    {
        const auto line = m_bootSetLines.find(PartitionMap::BootSetLineName(cardPath));
        std::string problem;
        if (line != m_bootSetLines.end()) {
            problem = fileProblem(cardPath, line->second);
        } else if (m_signedUnit) {
            problem = pathOf(cardPath) + packmessages::kCheckNoLine;
        } else if (!isRegularFile(pathOf(cardPath))) {
            problem = pathOf(cardPath) + packmessages::kCheckMissing;
        }
        if (problem.empty() && cardPath == PartitionMap::CardRecoveryRoot()) {
            RecoveryRoot root;
            if (!readRecoveryRoot(pathOf(cardPath), root, problem)) {
                return problem;
            }
            problem = recoveryRefusal(pathOf(cardPath), root, m_manifest, m_signature);
        }
        return problem;
    }

    bool checkTarBall()
    {
        const std::string cardPath = PartitionMap::TarBallFileName();
        std::string problem = fileProblem(cardPath, *m_tarBallLine);
        std::uint64_t entries = 0;
        if (problem.empty()) {
            problem = archiveProblem(pathOf(cardPath), entries);
        }
        return tell(pathOf(cardPath), problem,
                    packmessages::kCheckEntries + std::to_string(entries));
    }

    // The tar ball is read to its end, as the unit unpacks it, without
    // writing anything.
    static std::string archiveProblem(const std::string& path, std::uint64_t& entries)
    {
        const std::unique_ptr<archive, ArchiveReaderFree> reader(archive_read_new());
        if (!reader || archive_read_support_filter_all(reader.get()) != ARCHIVE_OK ||
            archive_read_support_format_all(reader.get()) != ARCHIVE_OK) {
            return path + packmessages::kCheckDamaged;
        }
        // A warning ends nothing, as in the unit's unpacking.
        int status = archive_read_open_filename(reader.get(), path.c_str(), kArchiveBlockSize);
        while (status == ARCHIVE_OK || status == ARCHIVE_WARN) {
            archive_entry* entry = nullptr;
            status = archive_read_next_header(reader.get(), &entry);
            if (status == ARCHIVE_OK || status == ARCHIVE_WARN) {
                const char* name = archive_entry_pathname(entry);
                if (name == nullptr || leadsOutOfRoot(name)) {
                    return path + packmessages::kCheckEntryOutside +
                           shownCardName(name != nullptr ? name : "");
                }
                ++entries;
                status = archive_read_data_skip(reader.get());
            }
        }
        if (status != ARCHIVE_EOF) {
            const char* reason = archive_error_string(reader.get());
            return path + packmessages::kCheckDamaged +
                   shownCardText(reason != nullptr ? reason : "");
        }
        return entries == 0 ? path + packmessages::kCheckNoEntry : std::string();
    }

    // What the unit finds wrong with the file of a line: a signed unit
    // needs the line's SHA-256, and the file must be the one it names.
    std::string fileProblem(const std::string& cardPath, const ManifestLine& line)
    {
        const std::string path = pathOf(cardPath);
        if (m_signedUnit && line.digestField.IsEmpty()) {
            return path + packmessages::kCheckNoSha256;
        }
        const ImageDigests& digests = digestsOf(cardPath);
        if (!digests.readable) {
            return path + packmessages::kCheckMissing;
        }
        if (!ImageDigestCache::Matches(digests, line.value, line.digestField)) {
            return path + packmessages::kCheckChanged;
        }
        return std::string();
    }

    // Each file is read once, however many lines name it.
    const ImageDigests& digestsOf(const std::string& cardPath)
    {
        const auto known = m_digests.find(cardPath);
        if (known != m_digests.end()) {
            return known->second;
        }
        ImageDigests& digests = m_digests[cardPath];
        FileSystem fileSystem;
        digests.readable = isRegularFile(pathOf(cardPath)) &&
                           fileSystem.getFileDigests(pathOf(cardPath), digests.checkSums,
                                                     digests.sha256, digests.length);
        digests.sha256Known = digests.readable;
        return digests;
    }

    std::string m_cardDir;
    std::string m_keyFile;
    std::vector<std::string> m_keys;
    const PartitionLayout& m_layout;
    bool m_signedUnit = false;
    std::string m_manifest;
    std::optional<std::string> m_signature;
    std::map<std::string, ImageDigests> m_digests;
    // The images in the order of their first lines, and the first problem
    // of each ("" when it has none).
    std::vector<std::string> m_images;
    std::map<std::string, std::string> m_problems;
    std::map<StdString, ManifestLine> m_bootSetLines;
    std::optional<ManifestLine> m_tarBallLine;
    // Lines whose names lead out of images/: how many, and the first.
    std::uint64_t m_leaving = 0;
    StdString m_firstLeaving;
};

} // namespace

int checkCard(const PackRequest& request)
{
    std::string error;
    std::vector<std::string> keys;
    PartitionLayout layout;
    if ((!request.pubKeyFile.empty() && !readTrustedKeys(request.pubKeyFile, keys, error)) ||
        (!request.layoutFile.empty() && !layout.read(request.layoutFile, error)) ||
        !checkCardDir(request.checkDir, error)) {
        std::cerr << packmessages::kProgramPrefix << error << std::endl;
        return kNotTaken;
    }
    CardCheck check(request.checkDir, request.pubKeyFile, keys, layout);
    const bool taken = check.run();
    std::cout << (taken ? packmessages::kCheckTaken : packmessages::kCheckNotTaken) << std::endl;
    return taken ? kTaken : kNotTaken;
}
