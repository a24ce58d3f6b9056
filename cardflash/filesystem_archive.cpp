#include "filesystem.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <cstdlib>

#include "console.h"

namespace
{

// Times, permissions, ACLs and file flags are restored; ownership is not.
// The archive comes from a removable card, so no entry may leave the
// destination: not through "..", not by an absolute path, and not through a
// symbolic link.
const int kExtractFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_ACL |
                          ARCHIVE_EXTRACT_FFLAGS | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                          ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS |
                          ARCHIVE_EXTRACT_SECURE_SYMLINKS;
const size_t kArchiveBlockSize = 10240;
const int kFatalArchiveExitStatus = 1;

void reportArchiveError(archive* a)
{
    const char* errorText = archive_error_string(a);
    (void)std::fprintf(stderr, "%s\n", errorText != nullptr ? errorText : "");
}

// A damaged archive ends the whole run, so that no later update step acts on
// what it left behind. A reader waiting for a last line (the display) gets it.
[[noreturn]] void endOnFatalArchiveError(const char8* lastLine)
{
    if (lastLine != nullptr) {
        printLine(lastLine);
    }
    std::exit(kFatalArchiveExitStatus);
}

} // namespace

bool FileSystem::uncompressTarGz(StdString archiveToExtract, StdString directoryToExtractTo,
                                 const char8* lastLineOnFatalError)
{
    setCurrentDirectory(directoryToExtractTo);
    return extractArchive(archiveToExtract.c_str(), lastLineOnFatalError);
}

bool FileSystem::extractArchive(const char* filename, const char8* lastLineOnFatalError)
{
    archive* reader = archive_read_new();
    archive_read_support_format_all(reader);
    archive_read_support_filter_all(reader);
    archive* writer = archive_write_disk_new();
    archive_write_disk_set_options(writer, kExtractFlags);
    archive_write_disk_set_standard_lookup(writer);

    if (archive_read_open_filename(reader, filename, kArchiveBlockSize) != ARCHIVE_OK) {
        endOnFatalArchiveError(lastLineOnFatalError);
    }
    // An entry that could not be written whole (refused path, full disk)
    // makes the extraction fail, so that an install is never reported as done
    // when part of it is missing.
    bool everyEntryWritten = true;
    for (;;) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(reader, &entry);
        if (r == ARCHIVE_EOF) {
            break;
        }
        if (r < ARCHIVE_OK) {
            reportArchiveError(reader);
            if (r < ARCHIVE_WARN) {
                endOnFatalArchiveError(lastLineOnFatalError);
            }
        }
        r = archive_write_header(writer, entry);
        if (r < ARCHIVE_OK) {
            reportArchiveError(writer);
            everyEntryWritten = false;
        } else if (archive_entry_size(entry) > 0) {
            r = copyDataFromArchive(reader, writer);
            if (r < ARCHIVE_OK) {
                reportArchiveError(writer);
                everyEntryWritten = false;
                if (r < ARCHIVE_WARN) {
                    endOnFatalArchiveError(lastLineOnFatalError);
                }
            }
        }
        r = archive_write_finish_entry(writer);
        if (r < ARCHIVE_OK) {
            reportArchiveError(writer);
            everyEntryWritten = false;
        }
    }
    archive_read_close(reader);
    archive_read_free(reader);
    archive_write_close(writer);
    archive_write_free(writer);
    return everyEntryWritten;
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
