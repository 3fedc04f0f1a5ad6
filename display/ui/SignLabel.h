#pragma once

#include <QColor>
#include <QString>
#include <QTextLayout>
#include <QWidget>
#include <vector>

namespace lm {

// lblLM1: one line of text on a background colour, left and top aligned. The label is many
// screens wide, so it lays its text out once per caption or font and paints only the glyphs
// that fall into the part being repainted.
class SignLabel : public QWidget {
    Q_OBJECT
public:
    explicit SignLabel(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    const QString& caption() const { return m_caption; }
    void setForeColour(const QColor& colour);
    void setBackColour(const QColor& colour);
    const QColor& foreColour() const { return m_fore; }
    const QColor& backColour() const { return m_back; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layoutCaption();

    QString m_caption;
    QColor m_fore = Qt::black;
    QColor m_back{255, 255, 192};
    QTextLayout m_layout;
    // x of every cursor position, so painting finds the visible characters by bisection.
    std::vector<int> m_positions;
    std::vector<qreal> m_x;
    bool m_layoutValid = false;
};

} // namespace lm
