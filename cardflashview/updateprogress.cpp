#include "updateprogress.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "packagemanifest.h"
#include "partitionmap.h"
#include "statuslines.h"

namespace
{

// One arrival of output a step when the size is not known.
const std::int64_t arrivalsToFullScale = 14500;
const int completePercent = 100;
// A package's manifest is a few lines; a larger one is not worth reading
// on the unit to draw a bar.
const std::streamsize longestManifest = std::streamsize(64) * 1024;
// flashcp -v redraws "Writing data: 120k/420k (28%)", then the same for
// "Verifying data".
const std::string flashcpWriting = "Writing data: ";
const std::string flashcpVerifying = "Verifying data: ";
const size_t longestCount = 15;

bool startsWith(const std::string& line, const std::string& prefix)
{
    return line.compare(0, prefix.size(), prefix) == 0;
}

// "120k" as 120, or -1.
std::int64_t kibibytes(const std::string& count)
{
    if (count.size() < 2 || count.size() > longestCount || count.back() != 'k')
        return -1;
    std::int64_t value = 0;
    for (size_t i = 0; i + 1 < count.size(); ++i) {
        if (count[i] < '0' || count[i] > '9')
            return -1;
        value = value * 10 + (count[i] - '0');
    }
    return value;
}

// The share of the image that a flashcp progress line tells, or -1 when
// the line is none.
double shareOf(const std::string& line, const std::string& prefix)
{
    if (!startsWith(line, prefix))
        return -1;
    const std::string counts =
        line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
    const size_t slash = counts.find('/');
    if (slash == std::string::npos)
        return -1;
    const std::int64_t done = kibibytes(counts.substr(0, slash));
    const std::int64_t of = kibibytes(counts.substr(slash + 1));
    if (done < 0 || of < 0)
        return -1;
    return of == 0 ? 1.0 : std::min(1.0, double(done) / double(of));
}

// NAME of a line "PREFIX NAME SEPARATOR DEVICE", or "".
std::string imageNamed(const std::string& line, const std::string& prefix,
                       const std::string& separator)
{
    const size_t end = line.find(separator, prefix.size());
    if (!startsWith(line, prefix) || end == std::string::npos)
        return std::string();
    return line.substr(prefix.size(), end - prefix.size());
}

// A regular file's size, or -1.
std::int64_t fileSize(const std::string& path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    return std::int64_t(status.st_size);
}

// The manifest whole, or "" when it cannot be read or is too long.
std::string manifestText()
{
    const StdString path = PartitionMap::CardFolder() + PartitionMap::ManifestFileName();
    std::ifstream manifest(path.c_str(), std::ios::binary);
    std::string text(size_t(longestManifest) + 1, '\0');
    manifest.read(&text[0], longestManifest + 1);
    const std::streamsize length = manifest.gcount();
    return length > longestManifest ? std::string() : text.substr(0, size_t(length));
}

} // namespace

UpdateProgress::UpdateProgress(const ImageSizes& imageSizes)
    : m_sizes(imageSizes), m_total(0), m_done(0), m_current(0), m_written(0), m_verified(0),
      m_arrivals(0), m_percent(0)
{
    for (const auto& image : imageSizes)
        m_total += image.second;
}

// An image is written once however many lines name it; a name that no
// partition takes is skipped.
UpdateProgress::ImageSizes UpdateProgress::imagesOfPackage()
{
    const std::string text = manifestText();
    ManifestReader reader(text);
    ManifestLine entry;
    ImageSizes sizes;
    while (reader.Next(entry)) {
        const std::string name = entry.name.c_str();
        if (entry.name == PartitionMap::TarBallFileName())
            return {};
        if (PartitionMap::DeviceFor(entry.name).empty())
            continue;
        const std::int64_t size = fileSize((PartitionMap::ImageFolder() + entry.name).c_str());
        if (size < 0)
            return {};
        sizes[name] = size;
    }
    return sizes;
}

bool UpdateProgress::followsBytes() const
{
    return m_total > 0;
}

void UpdateProgress::arrival()
{
    ++m_arrivals;
    update();
}

std::int64_t UpdateProgress::sizeOf(const std::string& name) const
{
    const auto image = m_sizes.find(name);
    return image == m_sizes.end() ? 0 : image->second;
}

// The next image's line ends the one before, however far its progress
// lines went. An image that its partition holds already is done at once.
void UpdateProgress::line(const std::string& line)
{
    const std::string name = imageNamed(line, statuslines::kWriting, statuslines::kWritingTo);
    if (m_sizes.count(name) != 0) {
        m_done += m_current;
        m_current = sizeOf(name);
        m_written = m_verified = 0;
    }
    m_done += sizeOf(imageNamed(line, statuslines::kUnchanged, statuslines::kUnchangedOn));
    m_written = std::max(m_written, shareOf(line, flashcpWriting));
    m_verified = std::max(m_verified, shareOf(line, flashcpVerifying));
    update();
}

void UpdateProgress::update()
{
    std::int64_t percent = m_arrivals * completePercent / arrivalsToFullScale;
    if (followsBytes()) {
        const double done = double(m_done) + double(m_current) * (m_written + m_verified) / 2;
        percent = std::int64_t(done * completePercent / double(m_total));
    }
    m_percent = int(std::clamp<std::int64_t>(percent, m_percent, completePercent - 1));
}

int UpdateProgress::percent() const
{
    return m_percent;
}
