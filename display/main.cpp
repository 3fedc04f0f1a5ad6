#include "Monitors.h"
#include "RememberedNumbers.h"
#include "Velisto.h"
#include "VelistoOptions.h"
#include "WakeUpSocket.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>

namespace {

// For the wall's launcher: position, name, geometry, remembered number or "-", by tabs.
void printScreens(const lm::RememberedNumbers& remembered) {
    for (const QScreen* screen : lm::Monitors::fromLeft()) {
        const std::optional<std::int16_t> number = remembered.number(lm::Monitors::key(screen));
        const QRect area = screen->geometry();
        std::printf("%d\t%s\t%dx%d+%d+%d\t%s\n", lm::Monitors::position(screen),
                    qUtf8Printable(screen->name()), area.width(), area.height(), area.x(), area.y(),
                    number ? qUtf8Printable(QString::number(*number)) : "-");
    }
}

} // namespace

// Exit status: 0 when the display was ended on purpose (its end button, "Cancel", an end job,
// or its window closed), 2 for a wrong option. The wall's launcher starts any other end again.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velisto"));
    lm::VelistoOptions options;
    if (!options.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "Velisto: %s\n", qUtf8Printable(options.error()));
        return 2;
    }
    lm::RememberedNumbers remembered;
    if (options.listScreens()) {
        printScreens(remembered);
        return 0;
    }
    lm::Velisto window({}, options.screen(), &remembered);
    window.setSmoothMotion(options.smooth());
    window.setWakeUpBase(lm::WakeUpSocket::chosenBase(options.portBase()));
    if (const std::optional<std::int16_t> number = options.number()) {
        window.confirm(*number);
    }
    window.show();
    return QApplication::exec();
}
