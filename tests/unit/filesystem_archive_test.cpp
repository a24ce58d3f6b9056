#include "filesystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace
{

namespace fs = std::filesystem;

enum class Compression { None, Gzip, Bzip2, Xz };
enum class Format { Ustar, Pax };

struct Entry {
    std::string path;
    mode_t type;
    int permissions;
    std::string data;
    std::string linkTarget;
    time_t modified;
};

Entry file(const std::string& path, const std::string& data, int permissions = 0644,
           time_t modified = 1000000000)
{
    return Entry{path, AE_IFREG, permissions, data, "", modified};
}

Entry directory(const std::string& path, int permissions = 0755, time_t modified = 1000000000)
{
    return Entry{path, AE_IFDIR, permissions, "", "", modified};
}

Entry symlink(const std::string& path, const std::string& target)
{
    return Entry{path, AE_IFLNK, 0777, "", target, 1000000000};
}

// Writes a tar ball with libarchive's own writer, so the fixtures need no
// external tool.
void makeArchive(const std::string& archivePath, Compression compression,
                 const std::vector<Entry>& entries, Format format = Format::Ustar)
{
    archive* writer = archive_write_new();
    switch (compression) {
    case Compression::None:
        break;
    case Compression::Gzip:
        archive_write_add_filter_gzip(writer);
        break;
    case Compression::Bzip2:
        archive_write_add_filter_bzip2(writer);
        break;
    case Compression::Xz:
        archive_write_add_filter_xz(writer);
        break;
    }
    if (format == Format::Pax) {
        archive_write_set_format_pax(writer);
    } else {
        archive_write_set_format_ustar(writer);
    }
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
        if (!item.data.empty()) {
            archive_write_data(writer, item.data.data(), item.data.size());
        }
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

std::string readFile(const fs::path& path)
{
    std::ifstream input(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
}

// Archives live in m_dir, entries land in m_dir/dest; extraction changes the
// working directory, which is put back after each test.
class ArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/archive_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_dest = m_dir + "/dest";
        fs::create_directory(m_dest);
        m_startDirectory = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(m_startDirectory);
        fs::remove_all(m_dir);
    }
    std::string archive(const std::vector<Entry>& entries,
                        Compression compression = Compression::Gzip)
    {
        const std::string path = m_dir + "/package.tar";
        makeArchive(path, compression, entries);
        return path;
    }
    void truncateTo(const std::string& path, std::uintmax_t length)
    {
        fs::resize_file(path, length);
    }
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
    std::string m_dir;
    std::string m_dest;
    fs::path m_startDirectory;
};

class CompressedArchiveTest : public ArchiveTest, public ::testing::WithParamInterface<Compression>
{
};

TEST_P(CompressedArchiveTest, ExtractsEveryEntryWhateverTheCompression)
{
    const std::string archivePath = archive({directory("etc"), file("etc/version", "1.2.3\n"),
                                             file("usr/share/big.bin", std::string(300000, 'x'))},
                                            GetParam());
    EXPECT_EQ(extractCapturingErrors(archivePath), "");
    EXPECT_EQ(readFile(m_dest + "/etc/version"), "1.2.3\n");
    EXPECT_EQ(readFile(m_dest + "/usr/share/big.bin"), std::string(300000, 'x'));
}

INSTANTIATE_TEST_SUITE_P(Compressions, CompressedArchiveTest,
                         ::testing::Values(Compression::None, Compression::Gzip, Compression::Bzip2,
                                           Compression::Xz));

TEST_F(ArchiveTest, TheCompressionIsRecognisedByContentNotByName)
{
    const std::string gzipped = archive({file("data", "abc")}, Compression::Xz);
    const std::string misnamed = m_dir + "/package.zip";
    fs::rename(gzipped, misnamed);
    EXPECT_TRUE(extract(misnamed));
    EXPECT_EQ(readFile(m_dest + "/data"), "abc");
}

TEST_F(ArchiveTest, DirectoriesAndEmptyFilesAreCreatedWithTheirPermissionsAndTimes)
{
    const std::string archivePath = archive({directory("private", 0750, 1111111111),
                                             file("private/empty", "", 0640, 1222222222),
                                             file("shared", "", 0604, 1333333333)});
    EXPECT_EQ(extractCapturingErrors(archivePath), "");

    struct stat status {
    };
    ASSERT_EQ(stat((m_dest + "/private").c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0750u);
    EXPECT_EQ(status.st_mtime, 1111111111);
    ASSERT_EQ(stat((m_dest + "/private/empty").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_size, 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(status.st_mtime, 1222222222);
    ASSERT_EQ(stat((m_dest + "/shared").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    EXPECT_EQ(status.st_mtime, 1333333333);
}

TEST_F(ArchiveTest, FileDataIsWrittenWithItsPermissionsAndTime)
{
    EXPECT_TRUE(extract(archive({file("tool", "#!/bin/sh\n", 0755, 1444444444)})));
    struct stat status {
    };
    ASSERT_EQ(stat((m_dest + "/tool").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0755u);
    EXPECT_EQ(status.st_mtime, 1444444444);
    EXPECT_EQ(readFile(m_dest + "/tool"), "#!/bin/sh\n");
}

TEST_F(ArchiveTest, ExistingFilesAreOverwritten)
{
    std::ofstream(m_dest + "/config") << "old content that is longer";
    EXPECT_TRUE(extract(archive({file("config", "new")})));
    EXPECT_EQ(readFile(m_dest + "/config"), "new");
}

TEST_F(ArchiveTest, TheWorkingDirectoryStaysAtTheDestination)
{
    EXPECT_TRUE(extract(archive({file("marker", "here")})));
    EXPECT_EQ(fs::current_path(), fs::canonical(m_dest));
    EXPECT_EQ(readFile("marker"), "here");
}

TEST_F(ArchiveTest, TheArchivePathIsOpenedAfterChangingDirectory)
{
    archive({file("data", "abc")});
    fs::current_path(m_dir);
    // "package.tar" is relative and no longer found once in the destination.
    EXPECT_EXIT(extract("package.tar"), ::testing::ExitedWithCode(1), "");
}

TEST_F(ArchiveTest, AnEntryClimbingOutThroughDotDotIsRefusedAndTheRestExtracted)
{
    const std::string archivePath = archive({file("first", "1"), file("../escaped", "evil"),
                                             file("sub/../../escaped-too", "evil"),
                                             file("../dest/back-in", "evil"), file("last", "2")});
    // The extraction goes on, but it does not count as a success.
    const std::string errors = extractCapturingErrors(archivePath, false);

    EXPECT_FALSE(fs::exists(m_dir + "/escaped"));
    EXPECT_FALSE(fs::exists(m_dir + "/escaped-too"));
    EXPECT_FALSE(fs::exists(m_dest + "/back-in"));
    EXPECT_FALSE(fs::exists(m_dest + "/sub"));
    EXPECT_EQ(readFile(m_dest + "/first"), "1");
    EXPECT_EQ(readFile(m_dest + "/last"), "2");
    // One line on standard error per refused entry, each with the library's reason.
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 3) << errors;
    EXPECT_NE(errors.find(".."), std::string::npos) << errors;
}

TEST_F(ArchiveTest, SymbolicLinksAreRestoredAsLinks)
{
    EXPECT_TRUE(extract(archive({file("target", "data"), symlink("link", "target")})));
    ASSERT_TRUE(fs::is_symlink(m_dest + "/link"));
    EXPECT_EQ(fs::read_symlink(m_dest + "/link"), "target");
    EXPECT_EQ(readFile(m_dest + "/link"), "data");
}

TEST_F(ArchiveTest, AnAbsolutePathIsRefusedAndTheRestExtracted)
{
    const std::string outside = m_dir + "/absolute";
    const std::string errors =
        extractCapturingErrors(archive({file(outside, "evil"), file("last", "2")}), false);
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_EQ(readFile(m_dest + "/last"), "2");
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

TEST_F(ArchiveTest, AnEntryWrittenThroughALinkOutOfTheDestinationIsRefused)
{
    const std::string errors = extractCapturingErrors(
        archive({symlink("up", m_dir), file("up/through-link", "evil"), file("last", "2")}),
        false);
    EXPECT_FALSE(fs::exists(m_dir + "/through-link"));
    EXPECT_EQ(readFile(m_dest + "/last"), "2");
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

TEST_F(ArchiveTest, AnEmptyArchiveFileExtractsNothing)
{
    const std::string archivePath = m_dir + "/empty.tar";
    std::ofstream(archivePath).close();
    EXPECT_EQ(extractCapturingErrors(archivePath), "");
    EXPECT_TRUE(fs::is_empty(m_dest));
}

TEST_F(ArchiveTest, AMissingArchiveEndsTheProgramWithStatusOneAndPrintsNothing)
{
    EXPECT_EXIT(extract(m_dir + "/missing.tar.gz"), ::testing::ExitedWithCode(1), "^$");
}

TEST_F(ArchiveTest, AnArchiveOfUnknownFormatEndsTheProgramWithStatusOne)
{
    const std::string archivePath = m_dir + "/garbage.tar.gz";
    std::ofstream(archivePath) << std::string(20000, 'g');
    EXPECT_EXIT(extract(archivePath), ::testing::ExitedWithCode(1), "^$");
}

TEST_F(ArchiveTest, AnArchiveEndingInsideAHeaderEndsTheProgramWithStatusOne)
{
    const std::string archivePath =
        archive({file("first", "1"), file("second", "2")}, Compression::None);
    truncateTo(archivePath, 1024 + 100);
    EXPECT_EXIT(extract(archivePath), ::testing::ExitedWithCode(1), ".+");
}

TEST_F(ArchiveTest, AnArchiveEndingInsideFileDataEndsTheProgramWithStatusOne)
{
    const std::string archivePath =
        archive({file("first", "1"), file("big", std::string(100000, 'b'))}, Compression::None);
    truncateTo(archivePath, 1024 + 512 + 5000);
    EXPECT_EXIT(extract(archivePath), ::testing::ExitedWithCode(1), "");
    // What was written before the damage stays on disk.
    EXPECT_EQ(readFile(m_dest + "/first"), "1");
}

TEST_F(ArchiveTest, ACorruptCompressedStreamEndsTheProgramWithStatusOne)
{
    const std::string archivePath =
        archive({file("big", std::string(200000, 'z') + "end")}, Compression::Gzip);
    std::string bytes = readFile(archivePath);
    ASSERT_GT(bytes.size(), 200u);
    for (std::size_t i = bytes.size() / 2 - 16; i < bytes.size() / 2 + 16; ++i) {
        bytes[i] = static_cast<char>(~bytes[i]);
    }
    std::ofstream(archivePath, std::ios::binary) << bytes;
    EXPECT_EXIT(extract(archivePath), ::testing::ExitedWithCode(1), "");
}

TEST_F(ArchiveTest, ADamagedHeaderIsReportedAndTheFollowingEntriesStillExtracted)
{
    const std::string archivePath =
        archive({file("first", "1"), file("second", "2"), file("third", "3")}, Compression::None);
    std::string bytes = readFile(archivePath);
    bytes[1024] = 'X'; // the name of "second": its header checksum no longer matches
    std::ofstream(archivePath, std::ios::binary) << bytes;
    const std::string errors = extractCapturingErrors(archivePath, false);
    EXPECT_FALSE(errors.empty());
    EXPECT_EQ(readFile(m_dest + "/first"), "1");
    EXPECT_EQ(readFile(m_dest + "/third"), "3");
    EXPECT_FALSE(fs::exists(m_dest + "/Xecond"));
}

TEST_F(ArchiveTest, AnEntryLargerThanTheRoomLeftIsReportedTwiceAndFailsTheExtraction)
{
    // A file size limit stands in for a full disk. The library counts a
    // failed disk write as a warning, so the program does not end, but the
    // extraction is not reported as a success.
    const std::string archivePath = archive({file("huge", std::string(1 << 20, 'h'))});
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
    // A name written in UTF-8 cannot be represented in the C locale this
    // program reads in, so the reader warns about it.
    const std::string name = "caf\xc3\xa9";
    const std::string archivePath = m_dir + "/utf8.tar";
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    makeArchive(archivePath, Compression::None, {file(name, "x"), file("after", "y")}, Format::Pax);
    setlocale(LC_CTYPE, "C");

    const std::string errors = extractCapturingErrors(archivePath);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_GT(errors.size(), 1u);
    EXPECT_EQ(readFile(m_dest + "/" + name), "x");
    EXPECT_EQ(readFile(m_dest + "/after"), "y");
}

} // namespace
