#pragma once

#include "Glide.h"

#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace lm {

class DisplayLogic;

// Smooth motion on the screen: once per frame of the monitor it moves the gliding part of the
// sign (the label or the picture control on show) to where the glide puts it. Qt scrolls what is
// already on the screen and paints only what comes into view. The frame timer runs only while
// a part is under way; no frame decodes or scales a picture. It reads the clock the logic's ticks
// run on, so a glide starts at its tick's deadline.
class SignGlide : public QObject {
    Q_OBJECT
public:
    using ToPixels = std::function<int(int twips)>;

    SignGlide(DisplayLogic& logic, QWidget* label, QWidget* image1, QWidget* image2,
              ToPixels toPixels, QObject* parent = nullptr);

    // The monitor's refresh rate in Hz; 60 where it cannot be read.
    void setRefreshRate(double hz);
    int frameIntervalMs() const { return m_frames.interval(); }
    const Glide& glide() const { return m_glide; }

    // After each job start and movement tick.
    void plan();

signals:
    // A frame moved the gliding part, or a tick put it where its glide starts; nowUs on the
    // steady clock of the display's logic.
    void frameMoved(qint64 nowUs);

private:
    void frame();
    QWidget* widgetOf(Glide::Part part) const;

    DisplayLogic& m_logic;
    QWidget* m_label = nullptr;
    QWidget* m_image1 = nullptr;
    QWidget* m_image2 = nullptr;
    ToPixels m_toPixels;
    Glide m_glide;
    QTimer m_frames;
};

} // namespace lm
