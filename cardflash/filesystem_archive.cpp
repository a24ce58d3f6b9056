#include "filesystem.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <string>

#include "cardtext.h"

namespace
{

// Times, permissions, ACLs and file flags are restored; ownership is not.
// The archive comes from a removable card, so no entry may leave the
// destination: not through "..", not by an absolute path, and not through a
// symbolic link.
const int kExtractFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_ACL |
                          ARCHIVE_EXTRACT_FFLAGS | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                          ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS | ARCHIVE_EXTRACT_SECURE_SYMLINKS;
// A folder that is already there is left as it is: its mode and times stay
// the unit's own, and the folders of a read-only root (usr/, usr/share/)
// that every archive of the unit's tree holds cannot be touched anyway.
const int kExtractFolderFlags = kExtractFlags | ARCHIVE_EXTRACT_NO_OVERWRITE;
const size_t kArchiveBlockSize = 10240;

// The entries' names come from the card.
void reportArchiveError(archive* a)
{
    const char* errorText = archive_error_string(a);
    (void)std::fprintf(stderr, "%s\n",
                       shownCardText(errorText != nullptr ? errorText : "").c_str());
}

bool isFolder(archive_entry* entry)
{
    return archive_entry_filetype(entry) == AE_IFDIR;
}

// A file is written under a name of its own beside its place and renamed
// over the old one once it is whole and on the disk: a power cut leaves
// the old file or the new, never a part. The unit's updater itself may be
// among the files.
const char* const kUnfinishedSuffix = ".new";

bool replacesWhole(archive_entry* entry)
{
    return archive_entry_filetype(entry) == AE_IFREG && archive_entry_hardlink(entry) == nullptr;
}

} // namespace

// The entries' paths are relative: unpacked anywhere but in that folder,
// they would land where the tool happened to be.
ExtractionResult FileSystem::uncompressTarGz(int archiveDescriptor, StdString directoryToExtractTo)
{
    if (!setCurrentDirectory(directoryToExtractTo)) {
        return ExtractionResult();
    }
    return extractArchive(archiveDescriptor);
}

// An entry that could not be written whole (refused path, full disk) leaves
// the extraction incomplete, so that an install is never reported as done
// when part of it is missing. A damaged archive ends the extraction at once.
ExtractionResult FileSystem::extractArchive(int archiveDescriptor)
{
    ExtractionResult result;
    archive* reader = archive_read_new();
    archive_read_support_format_all(reader);
    archive_read_support_filter_all(reader);
    archive* writer = archive_write_disk_new();
    archive_write_disk_set_standard_lookup(writer);

    bool everyEntryWritten = true;
    bool anyEntry = false;
    result.damaged =
        archive_read_open_fd(reader, archiveDescriptor, kArchiveBlockSize) != ARCHIVE_OK;
    if (result.damaged) {
        reportArchiveError(reader);
    }
    while (!result.damaged) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(reader, &entry);
        if (r == ARCHIVE_EOF) {
            break;
        }
        if (r < ARCHIVE_OK) {
            reportArchiveError(reader);
            result.damaged = r < ARCHIVE_WARN;
            if (result.damaged) {
                break;
            }
        }
        anyEntry = true;
        everyEntryWritten = writeEntry(reader, writer, entry, result) && everyEntryWritten;
    }
    archive_read_close(reader);
    archive_read_free(reader);
    if (archive_write_close(writer) < ARCHIVE_OK) {
        reportArchiveError(writer);
        everyEntryWritten = false;
    }
    archive_write_free(writer);
    result.complete = anyEntry && everyEntryWritten && !result.damaged;
    return result;
}

// One entry of the archive; false when it could not be written whole.
bool FileSystem::writeEntry(archive* reader, archive* writer, archive_entry* entry,
                            ExtractionResult& result)
{
    const char* const name = archive_entry_pathname(entry);
    const std::string path = name != nullptr ? name : "";
    const bool viaUnfinished = replacesWhole(entry) && !path.empty();
    const std::string unfinished = path + kUnfinishedSuffix;
    if (viaUnfinished) {
        archive_entry_set_pathname(entry, unfinished.c_str());
    }
    archive_write_disk_set_options(writer, isFolder(entry) ? kExtractFolderFlags : kExtractFlags);
    bool written = archive_write_header(writer, entry) >= ARCHIVE_OK;
    if (!written) {
        reportArchiveError(writer);
    } else if (archive_entry_size(entry) > 0) {
        const int r = copyDataFromArchive(reader, writer);
        written = r >= ARCHIVE_OK;
        if (!written) {
            reportArchiveError(writer);
            result.damaged = r < ARCHIVE_WARN;
        }
    }
    if (archive_write_finish_entry(writer) < ARCHIVE_OK) {
        reportArchiveError(writer);
        written = false;
    }
    if (viaUnfinished && written && !replaceDurably(unfinished, path)) {
        (void)std::fprintf(stderr, "%s\n", shownCardText(path).c_str());
        written = false;
    }
    if (viaUnfinished && !written) {
        removeFile(unfinished);
    }
    result.wroteSomething = result.wroteSomething || written;
    return written;
}

int FileSystem::copyDataFromArchive(archive* ar, archive* aw)
{
    for (;;) {
        const void* buff = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int r = archive_read_data_block(ar, &buff, &size, &offset);
        if (r == ARCHIVE_EOF) {
            return ARCHIVE_OK;
        }
        if (r < ARCHIVE_OK) {
            return r;
        }
        const la_ssize_t written = archive_write_data_block(aw, buff, size, offset);
        if (written < ARCHIVE_OK) {
            reportArchiveError(aw);
            return static_cast<int>(written);
        }
    }
}
