#include "updateprogress.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <string>

#include "packagemanifest.h"
#include "partitionmap.h"
#include "statuslines.h"

namespace
{

// One arrival of output a step when the size is not known.
const qint64 arrivalsToFullScale = 14500;
const int completePercent = 100;
// A package's manifest is a few lines; a larger one is not worth reading
// on the unit to draw a bar.
const qint64 longestManifest = qint64(64) * 1024;
// flashcp -v redraws "Writing data: 120k/420k (28%)", then the same for
// "Verifying data".
const QString flashcpWriting = QStringLiteral("Writing data: ");
const QString flashcpVerifying = QStringLiteral("Verifying data: ");

// The share of the image that a flashcp progress line tells, or -1 when
// the line is none.
double shareOf(const QString& line, const QString& prefix)
{
    if (!line.startsWith(prefix))
        return -1;
    const QString counts = line.mid(prefix.size()).section(QLatin1Char(' '), 0, 0);
    bool doneRead = false;
    bool ofRead = false;
    const qint64 done = counts.section(QLatin1Char('/'), 0, 0).chopped(1).toLongLong(&doneRead);
    const qint64 of = counts.section(QLatin1Char('/'), 1, 1).chopped(1).toLongLong(&ofRead);
    if (!doneRead || !ofRead || done < 0 || of < 0)
        return -1;
    return of == 0 ? 1.0 : std::min(1.0, double(done) / double(of));
}

// NAME of a line "PREFIX NAME SEPARATOR DEVICE", or "".
QString imageNamed(const QString& line, const QString& prefix, const QString& separator)
{
    if (!line.startsWith(prefix) || !line.contains(separator))
        return QString();
    return line.mid(prefix.size()).section(separator, 0, 0);
}

QString fromStd(const StdString& text)
{
    return QString::fromLatin1(text.c_str());
}

} // namespace

UpdateProgress::UpdateProgress(const ImageSizes& imageSizes)
    : m_sizes(imageSizes), m_total(0), m_done(0), m_current(0), m_written(0), m_verified(0),
      m_arrivals(0), m_percent(0)
{
    for (const qint64 size : imageSizes)
        m_total += size;
}

// An image is written once however many lines name it; a name that no
// partition takes is skipped.
UpdateProgress::ImageSizes UpdateProgress::imagesOfPackage()
{
    QFile manifest(fromStd(PartitionMap::CardFolder() + PartitionMap::ManifestFileName()));
    if (manifest.size() > longestManifest || !manifest.open(QIODevice::ReadOnly))
        return {};
    const std::string text = manifest.readAll().toStdString();
    ManifestReader reader(text);
    ManifestLine entry;
    ImageSizes sizes;
    while (reader.Next(entry)) {
        if (entry.name == PartitionMap::TarBallFileName())
            return {};
        if (PartitionMap::DeviceFor(entry.name).empty())
            continue;
        const QFileInfo image(fromStd(PartitionMap::ImageFolder() + entry.name));
        if (!image.isFile())
            return {};
        sizes.insert(fromStd(entry.name), image.size());
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

// The next image's line ends the one before, however far its progress
// lines went. An image that its partition holds already is done at once.
void UpdateProgress::line(const QString& line)
{
    const QString writing = QString::fromLatin1(statuslines::kWriting);
    const QString name = imageNamed(line, writing, QString::fromLatin1(statuslines::kWritingTo));
    if (m_sizes.contains(name)) {
        m_done += m_current;
        m_current = m_sizes.value(name);
        m_written = m_verified = 0;
    }
    m_done += m_sizes.value(imageNamed(line, QString::fromLatin1(statuslines::kUnchanged),
                                       QString::fromLatin1(statuslines::kUnchangedOn)));
    m_written = std::max(m_written, shareOf(line, flashcpWriting));
    m_verified = std::max(m_verified, shareOf(line, flashcpVerifying));
    update();
}

void UpdateProgress::update()
{
    qint64 percent = m_arrivals * completePercent / arrivalsToFullScale;
    if (followsBytes()) {
        const double done = double(m_done) + double(m_current) * (m_written + m_verified) / 2;
        percent = qint64(done * completePercent / double(m_total));
    }
    m_percent = int(std::clamp<qint64>(percent, m_percent, completePercent - 1));
}

int UpdateProgress::percent() const
{
    return m_percent;
}
