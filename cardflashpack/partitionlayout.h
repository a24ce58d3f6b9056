#ifndef PARTITIONLAYOUT_H
#define PARTITIONLAYOUT_H

#include <cstdint>
#include <map>
#include <string>

// The unit's partitions as its /proc/mtd lists them (`cat /proc/mtd` on a
// unit): a header line "dev: size erasesize name", then one line a
// partition, "mtd4: 00400000 00040000 "kernel"", sizes in hex bytes. The
// unit refuses an image larger than its partition, and takes none for a
// partition whose size it cannot tell.
class PartitionLayout
{
public:
    // Without a layout every image fits.
    bool given() const { return !m_file.empty(); }
    // False, with the reason in `error`, for a file that is not such a list.
    bool read(const std::string& file, std::string& error);
    // "" when `length` bytes fit the partition that the image goes to; else
    // why not, after `subject`.
    std::string misfit(const std::string& subject, const std::string& imageName,
                       std::uint64_t length) const;

private:
    bool readLine(const std::string& line);

    std::string m_file;
    // By device, "/dev/mtdN".
    std::map<std::string, std::uint64_t> m_sizes;
};

#endif
