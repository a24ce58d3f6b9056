#include "recoveryroot.h"

#include <archive.h>
#include <archive_entry.h>
#include <memory>

#include "manifestsignature.h"
#include "packagetrust.h"
#include "packmessages.h"

namespace
{

const char* const kKeyPath = "etc/lumo/keys/manifest.pub";
const char* const kCompatiblePath = "etc/lumo/compatible";
const char* const kFirmwareVersionPath = "etc/lumo/firmware-version";
// The unit reads no larger key file; an identity line is far shorter.
const std::size_t kLongestFile = std::size_t{64} * 1024;
const std::size_t kBlockSize = std::size_t{64} * 1024;

struct ArchiveReaderFree {
    void operator()(archive* reader) const { (void)archive_read_free(reader); }
};

// "./etc/lumo/compatible" and "/etc/lumo/compatible" are both the root's.
std::string rootPath(const char* entryPath)
{
    std::string path = entryPath != nullptr ? entryPath : "";
    while (path.compare(0, 2, "./") == 0 || path.compare(0, 1, "/") == 0) {
        path.erase(0, path[0] == '.' ? 2 : 1);
    }
    return path;
}

// A regular entry's bytes, when it holds no more than the limit ("" else).
std::string entryText(archive* reader, archive_entry* entry)
{
    std::string text;
    if (archive_entry_filetype(entry) != AE_IFREG ||
        archive_entry_size(entry) > static_cast<la_int64_t>(kLongestFile)) {
        return text;
    }
    text.resize(static_cast<std::size_t>(archive_entry_size(entry)));
    const la_ssize_t read = archive_read_data(reader, &text[0], text.size());
    text.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    return text;
}

// A later entry of the same path replaces an earlier one, as when the
// kernel unpacks the archive.
void takeEntry(archive* reader, archive_entry* entry, RecoveryRoot& root)
{
    const std::string path = rootPath(archive_entry_pathname(entry));
    if (path == kKeyPath) {
        root.isSigned = true;
        if (!readEd25519PublicKeys(entryText(reader, entry), root.keys)) {
            root.keys.clear();
        }
    } else if (path == kCompatiblePath) {
        root.identity.hasCompatible = true;
        root.identity.compatible = UnitIdentity::IdentityLine(entryText(reader, entry));
    } else if (path == kFirmwareVersionPath) {
        root.identity.hasVersion = true;
        root.identity.version = UnitIdentity::IdentityLine(entryText(reader, entry));
    }
}

} // namespace

bool readRecoveryRoot(const std::string& path, RecoveryRoot& root, std::string& error)
{
    root = RecoveryRoot();
    const std::unique_ptr<archive, ArchiveReaderFree> reader(archive_read_new());
    int status = ARCHIVE_FATAL;
    if (reader && archive_read_support_filter_gzip(reader.get()) == ARCHIVE_OK &&
        archive_read_support_format_cpio(reader.get()) == ARCHIVE_OK) {
        status = archive_read_open_filename(reader.get(), path.c_str(), kBlockSize);
    }
    while (status == ARCHIVE_OK) {
        archive_entry* entry = nullptr;
        status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_OK) {
            takeEntry(reader.get(), entry, root);
        }
    }
    if (status != ARCHIVE_EOF) {
        error = path + packmessages::kRecoveryUnreadable;
        return false;
    }
    return true;
}

std::string recoveryRefusal(const std::string& subject, const RecoveryRoot& root,
                            const std::string& manifest,
                            const std::optional<std::string>& signature)
{
    const PackageTrust::Verdict verdict =
        PackageTrust::Decide(root.isSigned, root.keys, signature, manifest);
    if (verdict == PackageTrust::Verdict::SignatureMissing) {
        return subject + packmessages::kRecoveryNeedsSignature;
    }
    if (verdict == PackageTrust::Verdict::SignatureInvalid) {
        return subject + packmessages::kRecoveryDistrusts;
    }
    const StdString refusal =
        UnitIdentity::RefusalBy(root.identity, UnitIdentity::ClaimOf(manifest));
    return refusal.IsEmpty() ? std::string()
                             : subject + packmessages::kRecoveryRefuses + refusal.c_str();
}
