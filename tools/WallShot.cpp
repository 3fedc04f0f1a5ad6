// lm_wallshot compose OUT.png LEFT.png ... RIGHT.png
//     Puts the screenshots of the display screens side by side as the wall stands, with a
//     dark bezel around each screen and its display number below it: the rightmost screen
//     is display 1, higher numbers stand further left.
// lm_wallshot varied PICTURE.png X Y WIDTH HEIGHT
//     Succeeds when the area holds more than one colour (something is drawn there).
// lm_wallshot find PICTURE.png #RRGGBB
//     Prints "X Y", the first pixel of that colour (the topmost row, then the leftmost);
//     fails when there is none.
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <cstdio>
#include <vector>

namespace {

constexpr int bezel = 10; // pixels around each screen
constexpr int captionHeight = 22;
const QColor bezelColour(32, 32, 36);
const QColor captionColour(200, 200, 200);

int compose(const QStringList& arguments) {
    if (arguments.size() < 3) {
        std::fputs("usage: lm_wallshot compose OUT.png LEFT.png ... RIGHT.png\n", stderr);
        return 2;
    }
    std::vector<QImage> screens;
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        QImage screen(arguments[i]);
        if (screen.isNull()) {
            std::fprintf(stderr, "lm_wallshot: cannot read %s\n", qPrintable(arguments[i]));
            return 1;
        }
        screens.push_back(screen.convertToFormat(QImage::Format_RGB32));
    }
    int width = bezel;
    int height = 0;
    for (const QImage& screen : screens) {
        width += screen.width() + bezel;
        height = std::max(height, screen.height());
    }
    QImage wall(width, height + 2 * bezel + captionHeight, QImage::Format_RGB32);
    wall.fill(bezelColour);
    QPainter painter(&wall);
    QFont font = painter.font();
    font.setPixelSize(captionHeight - 6);
    painter.setFont(font);
    painter.setPen(captionColour);
    int x = bezel;
    const auto count = static_cast<int>(screens.size());
    for (int i = 0; i < count; ++i) {
        const QImage& screen = screens[static_cast<std::size_t>(i)];
        painter.drawImage(x, bezel, screen);
        const QRect caption(x, bezel + height + bezel / 2, screen.width(), captionHeight);
        painter.drawText(caption, Qt::AlignCenter, QStringLiteral("display %1").arg(count - i));
        x += screen.width() + bezel;
    }
    painter.end();
    if (!wall.save(arguments[1], "PNG")) {
        std::fprintf(stderr, "lm_wallshot: cannot write %s\n", qPrintable(arguments[1]));
        return 1;
    }
    return 0;
}

int varied(const QStringList& arguments) {
    if (arguments.size() != 6) {
        std::fputs("usage: lm_wallshot varied PICTURE.png X Y WIDTH HEIGHT\n", stderr);
        return 2;
    }
    const QImage picture(arguments[1]);
    const QRect area = QRect(arguments[2].toInt(), arguments[3].toInt(), arguments[4].toInt(),
                             arguments[5].toInt()) &
                       picture.rect();
    if (picture.isNull() || area.isEmpty()) {
        std::fprintf(stderr, "lm_wallshot: no such area in %s\n", qPrintable(arguments[1]));
        return 2;
    }
    const QRgb first = picture.pixel(area.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (picture.pixel(x, y) != first) {
                return 0;
            }
        }
    }
    return 1;
}

int find(const QStringList& arguments) {
    const QColor colour(arguments.value(2));
    if (arguments.size() != 3 || !colour.isValid()) {
        std::fputs("usage: lm_wallshot find PICTURE.png #RRGGBB\n", stderr);
        return 2;
    }
    const QImage picture = QImage(arguments[1]).convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) {
        std::fprintf(stderr, "lm_wallshot: cannot read %s\n", qPrintable(arguments[1]));
        return 2;
    }
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixel(x, y) == colour.rgb()) {
                std::printf("%d %d\n", x, y);
                return 0;
            }
        }
    }
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    // Fonts and pictures only: no screen needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);
    // The mode word, then the mode's own arguments.
    QStringList arguments = QGuiApplication::arguments();
    arguments.removeFirst();
    const QString mode = arguments.value(0);
    if (mode == QStringLiteral("compose")) {
        return compose(arguments);
    }
    if (mode == QStringLiteral("varied")) {
        return varied(arguments);
    }
    if (mode == QStringLiteral("find")) {
        return find(arguments);
    }
    std::fputs("usage: lm_wallshot compose|varied|find ...\n", stderr);
    return 2;
}
