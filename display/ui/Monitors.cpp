#include "Monitors.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <algorithm>

namespace lm {

QList<QScreen*> Monitors::fromLeft() {
    QList<QScreen*> screens = QGuiApplication::screens();
    std::stable_sort(screens.begin(), screens.end(), [](const QScreen* a, const QScreen* b) {
        const QPoint left = a->geometry().topLeft();
        const QPoint right = b->geometry().topLeft();
        return left.x() != right.x() ? left.x() < right.x() : left.y() < right.y();
    });
    return screens;
}

int Monitors::position(const QScreen* screen) {
    return static_cast<int>(fromLeft().indexOf(screen)) + 1;
}

QScreen* Monitors::find(const QString& nameOrPosition, QString* error) {
    const QList<QScreen*> screens = fromLeft();
    QList<QScreen*> named;
    std::copy_if(screens.begin(), screens.end(), std::back_inserter(named),
                 [&](const QScreen* screen) { return screen->name() == nameOrPosition; });
    if (named.size() == 1) {
        return named.front();
    }
    bool isNumber = false;
    const int position = nameOrPosition.toInt(&isNumber);
    if (named.isEmpty() && isNumber && position >= 1 && position <= screens.size()) {
        return screens[position - 1];
    }
    if (error != nullptr) {
        QStringList all;
        for (const QScreen* screen : screens) {
            all << describe(screen);
        }
        *error = (named.isEmpty()
                      ? QStringLiteral("no monitor is \"%1\"").arg(nameOrPosition)
                      : QStringLiteral("\"%1\" names %2 monitors, choose one by its position")
                            .arg(nameOrPosition)
                            .arg(named.size())) +
                 QStringLiteral("; the monitors from the left: ") + all.join(QStringLiteral(", "));
    }
    return nullptr;
}

QScreen* Monitors::underPointer() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

QString Monitors::key(const QScreen* screen) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    const auto sameName = std::count_if(screens.begin(), screens.end(), [&](const QScreen* other) {
        return other->name() == screen->name();
    });
    return sameName == 1 ? screen->name()
                         : screen->name() + QLatin1Char(' ') + QString::number(position(screen));
}

QString Monitors::describe(const QScreen* screen) {
    const QRect area = screen->geometry();
    return QStringLiteral("%1 %2 %3x%4+%5+%6")
        .arg(position(screen))
        .arg(screen->name())
        .arg(area.width())
        .arg(area.height())
        .arg(area.x())
        .arg(area.y());
}

} // namespace lm
