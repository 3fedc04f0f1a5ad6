#include "PictureLoader.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace lm {

QPixmap PictureLoader::load(const QString& file, const QSize& size) {
    const QFileInfo info(file);
    if (!info.isFile() || size.isEmpty()) {
        return {};
    }
    if (file == m_file && size == m_size && info.lastModified() == m_modified &&
        info.size() == m_bytes) {
        return m_pixmap;
    }
    QImageReader reader(file);
    reader.setAutoTransform(true);
    // Decoding straight to the window's size lets the JPEG decoder skip detail it would only
    // throw away: a photograph far larger than the screen never exists at full size in
    // memory. The size asked for is before the picture's own rotation is applied.
    QSize decodeSize = size;
    if (reader.transformation().testFlag(QImageIOHandler::TransformationRotate90)) {
        decodeSize.transpose();
    }
    reader.setScaledSize(decodeSize);
    // High quality makes the decoder finish with smooth scaling rather than a fast one.
    reader.setQuality(100);
    QImage image = reader.read();
    if (!image.isNull() && image.size() != size) {
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    m_file = file;
    m_modified = info.lastModified();
    m_bytes = info.size();
    m_size = size;
    m_pixmap = QPixmap::fromImage(std::move(image));
    return m_pixmap;
}

} // namespace lm
