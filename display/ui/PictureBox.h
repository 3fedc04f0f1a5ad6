#pragma once

#include <QPixmap>
#include <QWidget>

namespace lm {

// Image1, Image2: a picture stretched to the control. The pixmap comes scaled to the control's
// size, so painting copies pixels and never scales. Without a picture the control is
// transparent and the window shows through.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setPixmap(const QPixmap& pixmap);
    const QPixmap& pixmap() const { return m_pixmap; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_pixmap;
};

} // namespace lm
