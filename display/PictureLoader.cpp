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
    QImage image = reader.read();
    if (!image.isNull()) {
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
