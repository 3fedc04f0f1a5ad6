#pragma once

#include <QDateTime>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace lm {

// Decodes picture files (JPEG, BMP, GIF and whatever else Qt's image readers know) and scales
// them to a size once. Qt's allocation limit stays in force, so a huge picture is refused
// instead of exhausting memory. The last result is kept, so Image1 and Image2 loading the
// same file for one item cost one decoding.
class PictureLoader {
public:
    // The picture stretched to the size, or a null pixmap when it is missing or undecodable.
    QPixmap load(const QString& file, const QSize& size);

private:
    QString m_file;
    QDateTime m_modified;
    qint64 m_bytes = -1;
    QSize m_size;
    QPixmap m_pixmap;
};

} // namespace lm
