#ifndef FILESYSTEM_H
#define FILESYSTEM_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "StdString.h"

struct archive;
struct archive_entry;
class PrivateFile;

// What unpacking an archive did. An archive with no entries installs
// nothing; one that broke off (damaged) may have written some entries.
struct ExtractionResult {
    bool complete = false;       // at least one entry, and every entry written whole
    bool wroteSomething = false; // at least one entry reached the disk
    bool damaged = false;        // the archive could not be read to its end
};

// Everything the tool does with files by name: existence, reading whole or
// by lines, splitting text, the working directory, checksum texts and tar
// ball extraction. Stateless; instances are interchangeable.
class FileSystem
{
public:
    FileSystem();
    ~FileSystem();

    StdString getCurrentDirectory();
    static bool setCurrentDirectory(StdString setDirectory);
    [[nodiscard]] bool fileExists(std::string fileName);
    std::string openFile(std::string fileName);
    // The file's bytes, all of them; false when it cannot be opened or read,
    // or holds more than `limit` bytes (then `content` is empty).
    [[nodiscard]] bool readFileBytes(std::string fileName, std::size_t limit, std::string& content);
    std::vector<StdString> openFileInLines(StdString fileName);
    // At most the first `count` bytes of the file; false when it cannot be read.
    [[nodiscard]] bool readFileStart(const std::string& fileName, std::size_t count,
                                     std::string& bytes);
    // The file's first line, without its line end, at most `limit` bytes.
    std::string readFirstLine(const std::string& fileName, std::size_t limit);
    // A copy of the file's bytes under a new name, with the given mode.
    [[nodiscard]] bool copyFile(const std::string& from, const std::string& to, unsigned int mode);
    // A new directory of the caller's only, named by `nameTemplate` (ending
    // in XXXXXX); "" when it cannot be made.
    std::string makePrivateDirectory(const std::string& nameTemplate);
    void removeFile(const std::string& path);
    // Puts the file `written` in the place of `path` so that a power cut
    // leaves either the old file or the whole new one: its bytes reach the
    // disk before the rename, and the rename before this returns.
    [[nodiscard]] bool replaceDurably(const std::string& written, const std::string& path);
    // Removes a directory and the files in it.
    void removeDirectory(const std::string& directory);
    // True when the path lies on a file system held in RAM (tmpfs, ramfs).
    [[nodiscard]] bool isInMemory(const std::string& path);
    // The bytes that can still be written to the path's file system; false
    // when it cannot be asked.
    [[nodiscard]] bool freeBytes(const std::string& path, std::uint64_t& bytes);
    std::vector<StdString> splitDelimitedString(StdString stringToParse, StdString delimiter);

    std::string getCheckSums(std::string stringToCheck);
    std::string getFileCheckSums(std::string fileName);
    // The checksum text and the SHA-256 of a file (left empty unless
    // wanted), from one read of every byte, which also goes to `copy` when
    // one is given.
    [[nodiscard]] bool getFileDigests(std::string fileName, std::string& checkSums,
                                      std::string& sha256, std::uint64_t& length,
                                      PrivateFile* copy = nullptr, bool sha256Wanted = true);
    // Reads a flash partition to its end: the SHA-256 (or, without
    // `wholeImageDigest`, the checksum text) of its first `length` bytes.
    // False when it cannot be read, is shorter, or a byte behind them is not
    // erased (0xFF).
    [[nodiscard]] bool getWrittenDigest(std::string device, std::uint64_t length,
                                        bool wholeImageDigest, std::string& digest);
    StdString getSHA1SUM(std::string stringToCheck);
    StdString getMD5SUM(std::string stringToCheck);

    // Unpacks the archive open at `archiveDescriptor` under the folder.
    ExtractionResult uncompressTarGz(int archiveDescriptor, StdString directoryToExtractTo);

private:
    char* calculateCheckSum(char* pStringToEvaluate, int sumTypeIdentifier);
    ExtractionResult extractArchive(int archiveDescriptor);
    bool writeEntry(archive* reader, archive* writer, archive_entry* entry,
                    ExtractionResult& result);
    int copyDataFromArchive(archive* ar, archive* aw);
};

// What openFile gives for a file that cannot be opened.
extern const char8* const kCannotOpenFileText;

// Bytes read at a time when a file is digested.
constexpr std::size_t kCheckSumBlockSize = std::size_t{128} * 1024;

// The checksum text of everything `input` yields, read `blockSize` bytes at a
// time: line feeds are skipped and reading stops at the first zero byte. It
// equals the text of the same content held in memory, whatever the block size.
std::string streamedCheckSums(std::istream& input, std::size_t blockSize);

// Reads `input` to its end, `blockSize` bytes at a time, and gives both its
// checksum text (as streamedCheckSums) and the SHA-256 of every byte it
// yields (lowercase hex; empty unless wanted), and how many bytes that was;
// every byte also goes to `copy` when one is given. False on a read error or
// a failed copy.
bool streamedDigests(std::istream& input, std::size_t blockSize, std::string& checkSums,
                     std::string& sha256, std::uint64_t& length, PrivateFile* copy = nullptr,
                     bool sha256Wanted = true);

#endif
