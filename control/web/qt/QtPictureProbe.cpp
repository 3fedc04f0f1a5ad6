#include "QtPictureProbe.h"

#include "PictureUpload.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

namespace lm {

PictureProbe::Facts QtPictureProbe::inspect(std::string_view bytes) const {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    Facts facts;
    const QSize size = reader.size();
    facts.width = size.width();
    facts.height = size.height();
    const QByteArray format = reader.format().toLower();
    if (!reader.canRead() || size.isEmpty() ||
        static_cast<long long>(size.width()) * size.height() > PictureUpload::largestPixels) {
        // Not decoded: what it claims is all that is said.
        facts.format = reader.canRead() ? format.toStdString() : std::string();
        return facts;
    }
    constexpr int sample = 64;
    reader.setScaledSize(size.scaled(sample, sample, Qt::KeepAspectRatio).expandedTo({1, 1}));
    if (reader.read().isNull()) {
        return Facts{};
    }
    facts.format = format.toStdString();
    return facts;
}

} // namespace lm
