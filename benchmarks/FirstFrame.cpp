// Start-up to the first frame of a program, seen from outside on an X server without a
// compositor: the time from starting the process until a pixel of the screen changes from what
// it showed before (and, if a colour is given, shows that colour). The root window of such a
// server is the screen itself, so the first frame a program flushes shows there at once.
//
//   first_frame --runs 10 --point 1900,1060 --colour ffffc0 --workdir DIR -- PROGRAM [ARGS..]
//
// Prints one line per run (ms) and then "median", "min" and "max". Run it on the program's
// X server (DISPLAY) with a black root (Xvfb -br).

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

QRgb pixelAt(QScreen* screen, QPoint at) {
    const QImage image = screen->grabWindow(0, at.x(), at.y(), 1, 1).toImage();
    return image.isNull() ? 0 : image.pixel(0, 0) & 0xFFFFFFU;
}

struct Options {
    int runs = 10;
    QPoint point;
    std::optional<QRgb> colour;
    QString workDir;
    QString program;
    QStringList arguments;
    int timeoutMs = 10000;
};

// Milliseconds until the first frame, or nothing when none came within the timeout.
std::optional<double> measureOnce(QScreen* screen, const Options& options) {
    const QRgb before = pixelAt(screen, options.point);
    QProcess process;
    process.setWorkingDirectory(options.workDir);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(options.program, options.arguments);
    std::optional<double> elapsed;
    while (clock.elapsed() < options.timeoutMs) {
        const QRgb now = pixelAt(screen, options.point);
        if (now != before && (!options.colour || now == *options.colour)) {
            elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            break;
        }
        QThread::usleep(500);
    }
    process.kill();
    process.waitForFinished(5000);
    // The next run starts from the bare screen again.
    QElapsedTimer gone;
    gone.start();
    while (pixelAt(screen, options.point) != before && gone.elapsed() < 5000) {
        QThread::msleep(5);
    }
    return elapsed;
}

std::optional<Options> parse(const QCoreApplication& application) {
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs."), QStringLiteral("n"),
                      QStringLiteral("10")});
    parser.addOption({QStringLiteral("point"), QStringLiteral("Pixel to watch."),
                      QStringLiteral("x,y"), QStringLiteral("0,0")});
    parser.addOption({QStringLiteral("colour"), QStringLiteral("Colour of the first frame."),
                      QStringLiteral("rrggbb")});
    parser.addOption({QStringLiteral("workdir"), QStringLiteral("Working folder."),
                      QStringLiteral("dir"), QStringLiteral(".")});
    parser.addPositionalArgument(QStringLiteral("program"), QStringLiteral("Program and args."));
    parser.process(application);

    Options options;
    options.runs = parser.value(QStringLiteral("runs")).toInt();
    const QStringList point = parser.value(QStringLiteral("point")).split(QLatin1Char(','));
    if (point.size() != 2 || options.runs < 1) {
        return std::nullopt;
    }
    options.point = {point[0].toInt(), point[1].toInt()};
    if (parser.isSet(QStringLiteral("colour"))) {
        bool ok = false;
        options.colour = parser.value(QStringLiteral("colour")).toUInt(&ok, 16);
        if (!ok) {
            return std::nullopt;
        }
    }
    options.workDir = parser.value(QStringLiteral("workdir"));
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return std::nullopt;
    }
    options.program = positional.takeFirst();
    options.arguments = positional;
    return options;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    const std::optional<Options> options = parse(application);
    if (!options) {
        std::fprintf(stderr, "usage: first_frame --runs N --point X,Y [--colour RRGGBB] "
                             "[--workdir DIR] -- PROGRAM [ARGS..]\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    std::vector<double> times;
    for (int run = 0; run < options->runs; ++run) {
        const std::optional<double> ms = measureOnce(screen, *options);
        if (!ms) {
            std::fprintf(stderr, "run %d: no frame within %d ms\n", run + 1, options->timeoutMs);
            return 1;
        }
        std::printf("run %d: %.1f ms\n", run + 1, *ms);
        times.push_back(*ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("median %.1f\nmin %.1f\nmax %.1f\n", times[times.size() / 2], times.front(),
                times.back());
    return 0;
}
