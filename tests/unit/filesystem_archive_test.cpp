#include "filesystem.h"

#include "UnitTest.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace
{

namespace fs = std::filesystem;
typedef int (*Setting)(archive*);

struct Entry {
    std::string path;
    std::string data;
    mode_t type = AE_IFREG;
    int permissions = 0644;
    time_t modified = 1000000000;
    std::string linkTarget = "";
};

// Writes a tar ball with libarchive's own writer, so the fixtures need no external tool.
void makeArchive(const std::string& archivePath, const std::vector<Entry>& entries,
                 Setting filter = archive_write_add_filter_gzip,
                 Setting format = archive_write_set_format_ustar)
{
    archive* writer = archive_write_new();
    filter(writer);
    format(writer);
    ASSERT_EQ(archive_write_open_filename(writer, archivePath.c_str()), ARCHIVE_OK);
    for (const Entry& item : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.path.c_str());
        archive_entry_set_filetype(entry, item.type);
        archive_entry_set_perm(entry, item.permissions);
        archive_entry_set_mtime(entry, item.modified, 0);
        archive_entry_set_size(entry, static_cast<la_int64_t>(item.data.size()));
        if (!item.linkTarget.empty()) {
            archive_entry_set_symlink(entry, item.linkTarget.c_str());
        }
        ASSERT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << archive_error_string(writer);
        archive_write_data(writer, item.data.data(), item.data.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

Entry symlink(const std::string& path, const std::string& target)
{
    return Entry{path, "", AE_IFLNK, 0777, 1000000000, target};
}

std::size_t lineCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Archives live in m_dir, entries land in m_dir/dest.
class ArchiveTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_dest = path("dest");
        fs::create_directory(m_dest);
    }
    std::string archive(const std::vector<Entry>& entries,
                        Setting filter = archive_write_add_filter_gzip)
    {
        makeArchive(path("package.tar"), entries, filter);
        return path("package.tar");
    }
    std::string extracted(const std::string& name) const { return readFile(m_dest + "/" + name); }
    bool extract(const std::string& archivePath)
    {
        return m_files.uncompressTarGz(archivePath.c_str(), m_dest.c_str());
    }
    std::string extractCapturingErrors(const std::string& archivePath, bool expectedResult = true)
    {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(extract(archivePath), expectedResult);
        return ::testing::internal::GetCapturedStderr();
    }
    FileSystem m_files;
    std::string m_dest;
};

class CompressedArchiveTest : public ArchiveTest, public ::testing::WithParamInterface<Setting>
{
};

TEST_P(CompressedArchiveTest, ExtractsEveryEntryWhateverTheCompressionOrFileName)
{
    const std::string misnamed = path("package.zip");
    fs::rename(archive({{"etc", "", AE_IFDIR, 0755},
                        {"etc/version", "1.2.3\n"},
                        {"usr/share/big.bin", std::string(300000, 'x')}},
                       GetParam()),
               misnamed);
    EXPECT_EQ(extractCapturingErrors(misnamed), "");
    EXPECT_EQ(extracted("etc/version"), "1.2.3\n");
    EXPECT_EQ(extracted("usr/share/big.bin"), std::string(300000, 'x'));
}

INSTANTIATE_TEST_SUITE_P(Compressions, CompressedArchiveTest,
                         ::testing::Values(archive_write_add_filter_none,
                                           archive_write_add_filter_gzip,
                                           archive_write_add_filter_bzip2,
                                           archive_write_add_filter_xz));

TEST_F(ArchiveTest, EntriesAreCreatedWithTheirDataPermissionsAndTimes)
{
    const std::vector<Entry> entries = {{"private", "", AE_IFDIR, 0750, 1111111111},
                                        {"private/empty", "", AE_IFREG, 0640, 1222222222},
                                        {"shared", "", AE_IFREG, 0604, 1333333333},
                                        {"tool", "#!/bin/sh\n", AE_IFREG, 0755, 1444444444}};
    EXPECT_EQ(extractCapturingErrors(archive(entries)), "");
    for (const Entry& entry : entries) {
        struct stat status {
        };
        ASSERT_EQ(stat((m_dest + "/" + entry.path).c_str(), &status), 0) << entry.path;
        EXPECT_EQ(status.st_mode, entry.type | entry.permissions) << entry.path;
        EXPECT_EQ(status.st_mtime, entry.modified) << entry.path;
        EXPECT_EQ(entry.type == AE_IFREG ? extracted(entry.path) : "", entry.data);
    }
}

TEST_F(ArchiveTest, ExistingFilesAreOverwrittenAndTheWorkingDirectoryStaysAtTheDestination)
{
    std::ofstream(m_dest + "/config") << "old content that is longer";
    EXPECT_TRUE(extract(archive({{"config", "new"}})));
    EXPECT_EQ(fs::current_path(), fs::canonical(m_dest));
    EXPECT_EQ(readFile("config"), "new");
}

TEST_F(ArchiveTest, SymbolicLinksAreRestoredAsLinks)
{
    EXPECT_TRUE(extract(archive({{"target", "data"}, symlink("link", "target")})));
    ASSERT_TRUE(fs::is_symlink(m_dest + "/link"));
    EXPECT_EQ(fs::read_symlink(m_dest + "/link"), "target");
    EXPECT_EQ(extracted("link"), "data");
}

TEST_F(ArchiveTest, AnEntryClimbingOutThroughDotDotIsRefusedAndTheRestExtracted)
{
    const std::string errors = extractCapturingErrors(archive({{"first", "1"},
                                                               {"../escaped", "evil"},
                                                               {"sub/../../escaped-too", "evil"},
                                                               {"../dest/back-in", "evil"},
                                                               {"last", "2"}}),
                                                      false);
    EXPECT_FALSE(fs::exists(path("escaped")) || fs::exists(path("escaped-too")) ||
                 fs::exists(m_dest + "/back-in") || fs::exists(m_dest + "/sub"));
    EXPECT_EQ(extracted("first"), "1");
    EXPECT_EQ(extracted("last"), "2");
    // One line per refused entry, each with the library's reason.
    EXPECT_EQ(lineCount(errors), 3u) << errors;
    EXPECT_NE(errors.find(".."), std::string::npos) << errors;
}

TEST_F(ArchiveTest, AnAbsolutePathOrOneThroughALinkOutOfTheDestinationIsRefused)
{
    const std::string errors = extractCapturingErrors(archive({{path("absolute"), "evil"},
                                                               symlink("up", m_dir),
                                                               {"up/through-link", "evil"},
                                                               {"last", "2"}}),
                                                      false);
    EXPECT_FALSE(fs::exists(path("absolute")) || fs::exists(path("through-link")));
    EXPECT_EQ(extracted("last"), "2");
    EXPECT_EQ(lineCount(errors), 2u) << errors;
}

TEST_F(ArchiveTest, AnEmptyArchiveFileExtractsNothing)
{
    EXPECT_EQ(extractCapturingErrors(write("empty.tar", "")), "");
    EXPECT_TRUE(fs::is_empty(m_dest));
}

TEST_F(ArchiveTest, AMissingUnknownOrDamagedArchiveEndsTheProgramWithStatusOne)
{
    EXPECT_EXIT(extract(path("missing.tar.gz")), ::testing::ExitedWithCode(1), "^$");
    EXPECT_EXIT(extract(write("garbage.tar.gz", std::string(20000, 'g'))),
                ::testing::ExitedWithCode(1), "^$");
    // Relative, so no longer found once extraction has moved into the destination.
    archive({{"data", "abc"}});
    fs::current_path(m_dir);
    EXPECT_EXIT(extract("package.tar"), ::testing::ExitedWithCode(1), "");

    std::string bytes = readFile(archive({{"big", std::string(200000, 'z') + "end"}}));
    for (std::size_t i = bytes.size() / 2 - 16; i < bytes.size() / 2 + 16; ++i) {
        bytes[i] = static_cast<char>(~bytes[i]);
    }
    EXPECT_EXIT(extract(write("corrupt.tar.gz", bytes)), ::testing::ExitedWithCode(1), "");
}

TEST_F(ArchiveTest, AnArchiveEndingEarlyEndsTheProgramWithStatusOneKeepingWhatWasWritten)
{
    const std::string archivePath =
        archive({{"first", "1"}, {"second", "2"}}, archive_write_add_filter_none);
    fs::resize_file(archivePath, 1024 + 100);
    EXPECT_EXIT(extract(archivePath), ::testing::ExitedWithCode(1), ".+") << "inside a header";

    archive({{"first", "1"}, {"big", std::string(100000, 'b')}}, archive_write_add_filter_none);
    fs::resize_file(archivePath, 1024 + 512 + 5000);
    EXPECT_EXIT(extract(archivePath), ::testing::ExitedWithCode(1), "") << "inside file data";
    EXPECT_EQ(extracted("first"), "1");
}

TEST_F(ArchiveTest, ADamagedHeaderIsReportedAndTheFollowingEntriesStillExtracted)
{
    std::string bytes = readFile(
        archive({{"first", "1"}, {"second", "2"}, {"third", "3"}}, archive_write_add_filter_none));
    bytes[1024] = 'X'; // the name of "second": its header checksum no longer matches
    EXPECT_FALSE(extractCapturingErrors(write("package.tar", bytes), false).empty());
    EXPECT_EQ(extracted("first"), "1");
    EXPECT_EQ(extracted("third"), "3");
    EXPECT_FALSE(fs::exists(m_dest + "/Xecond"));
}

TEST_F(ArchiveTest, AnEntryLargerThanTheRoomLeftIsReportedTwiceAndFailsTheExtraction)
{
    // A file size limit stands in for a full disk. The library counts a
    // failed disk write as a warning, so the program does not end, but the
    // extraction is not reported as a success.
    const std::string archivePath = archive({{"huge", std::string(1 << 20, 'h')}});
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = 64 * 1024;
            setrlimit(RLIMIT_FSIZE, &limit);
            std::exit(extract(archivePath) ? 0 : 2);
        },
        ::testing::ExitedWithCode(2), "^Write failed\nWrite failed\n");
    EXPECT_EQ(fs::file_size(m_dest + "/huge"), 64u * 1024);
}

TEST_F(ArchiveTest, AHeaderWarningIsReportedAndTheEntryStillExtracted)
{
    // A UTF-8 name cannot be represented in the C locale this program reads
    // in, so the reader warns about it.
    const std::string name = "caf\xc3\xa9";
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    makeArchive(path("utf8.tar"), {{name, "x"}, {"after", "y"}}, archive_write_add_filter_none,
                archive_write_set_format_pax);
    setlocale(LC_CTYPE, "C");
    const std::string errors = extractCapturingErrors(path("utf8.tar"));
    EXPECT_EQ(lineCount(errors), 1u) << errors;
    EXPECT_GT(errors.size(), 1u);
    EXPECT_EQ(extracted(name), "x");
    EXPECT_EQ(extracted("after"), "y");
}

} // namespace
