#include "SignGlide.h"

#include "DisplayLogic.h"

#include <QWidget>
#include <cmath>

namespace lm {

namespace {
constexpr double defaultRefreshHz = 60.0;
// Below this a monitor's reported rate is not believed.
constexpr double lowestRefreshHz = 10.0;
} // namespace

SignGlide::SignGlide(DisplayLogic& logic, QWidget* label, QWidget* image1, QWidget* image2,
                     ToPixels toPixels, QObject* parent)
    : QObject(parent), m_logic(logic), m_label(label), m_image1(image1), m_image2(image2),
      m_toPixels(std::move(toPixels)) {
    m_frames.setTimerType(Qt::PreciseTimer);
    setRefreshRate(defaultRefreshHz);
    connect(&m_frames, &QTimer::timeout, this, &SignGlide::frame);
    m_logic.engine().setMovedHandler([this] { plan(); });
}

void SignGlide::setRefreshRate(double hz) {
    const double rate = hz >= lowestRefreshHz ? hz : defaultRefreshHz;
    m_frames.setInterval(std::max(1, static_cast<int>(std::lround(1000.0 / rate))));
}

QWidget* SignGlide::widgetOf(Glide::Part part) const {
    switch (part) {
    case Glide::Part::Label:
        return m_label;
    case Glide::Part::Image1:
        return m_image1;
    case Glide::Part::Image2:
        return m_image2;
    case Glide::Part::None:
        break;
    }
    return nullptr;
}

void SignGlide::plan() {
    const qint64 now = m_logic.clock().steadyUs();
    m_glide.plan(m_logic.engine(), m_logic.poller().LMJobLine());
    if (!m_glide.isUnderWay(now)) {
        m_frames.stop();
        return;
    }
    // The tick itself has put the part where the glide starts: that is a frame, and the next
    // ones count from it.
    m_frames.start();
    emit frameMoved(now);
}

void SignGlide::frame() {
    const qint64 now = m_logic.clock().steadyUs();
    QWidget* widget = widgetOf(m_glide.part());
    const std::optional<int> left = m_glide.leftAt(now);
    if (widget != nullptr && left) {
        const int x = m_toPixels(*left);
        if (x != widget->x()) {
            widget->move(x, widget->y());
            emit frameMoved(now);
        }
    }
    // Between the glide's end and the next tick nothing moves: no frames.
    if (!m_glide.isUnderWay(now)) {
        m_frames.stop();
    }
}

} // namespace lm
