#ifndef UPDATEPROGRESS_H
#define UPDATEPROGRESS_H

#include <cstdint>
#include <map>
#include <string>

// How far the update has come, in percent: the share of the package's bytes
// that have been written and read back (each byte counts half when flashcp
// has written it, half when it has verified it), followed by the tool's
// "Writing NAME to DEVICE" lines and flashcp's own progress lines. When the
// size of the package cannot be told (a tar ball, a manifest without
// images, an image missing) every arrival of output is one step, 14,500 of
// them the full scale. Either way the percentage never goes back and stays
// below 100 until the update is complete.
class UpdateProgress
{
public:
    // Each image that the update writes, by name, and its size in bytes;
    // none when the size cannot be told.
    using ImageSizes = std::map<std::string, std::int64_t>;

    explicit UpdateProgress(const ImageSizes& imageSizes);

    // The images that the card's manifest names, as the tool writes them.
    static ImageSizes imagesOfPackage();

    void arrival();
    void line(const std::string& line);
    int percent() const;
    bool followsBytes() const;

private:
    void update();
    std::int64_t sizeOf(const std::string& name) const;

    ImageSizes m_sizes;
    std::int64_t m_total;
    std::int64_t m_done;
    std::int64_t m_current;
    double m_written;
    double m_verified;
    std::int64_t m_arrivals;
    int m_percent;
};

#endif
