// The frame intervals of a gliding sign: Velisto with smooth motion on the X server of DISPLAY,
// a text moving across it, and the moments at which each frame moved it.
//
//   glide_frames --seconds 20 --speed 中
//
// Prints the monitor's refresh rate as Qt reads it, the frame timer's interval, and the median,
// p99 and slowest of the intervals between frames that moved the text, and the share of
// intervals longer than 1.5 frame intervals. Frames at a movement tick count too.

#include "ExchangeFolder.h"
#include "JobLines.h"
#include "SignGlide.h"
#include "Velisto.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("How long to watch."),
                                           QStringLiteral("s"), QStringLiteral("20"));
    const QCommandLineOption speedOption(QStringLiteral("speed"), QStringLiteral("Speed word."),
                                         QStringLiteral("word"), QStringLiteral("中"));
    parser.addOptions({secondsOption, speedOption});
    parser.process(application);
    const int seconds = parser.value(secondsOption).toInt();
    if (seconds <= 0) {
        std::fprintf(stderr, "--seconds: a whole number above 0\n");
        return 2;
    }

    QTemporaryDir work;
    const std::filesystem::path workDir = work.path().toStdString();
    const lm::ExchangeFolder exchange(workDir);
    exchange.make();

    lm::Velisto sign(workDir);
    sign.setSmoothMotion(true);
    sign.show();
    sign.confirm(1);
    // Long enough to keep the screen full of moving text for the whole run.
    const lm::JobLines job{" 0 ",
                           "文字",
                           "",
                           "左へ",
                           "",
                           "白",
                           "暗い青",
                           parser.value(speedOption).toStdString(),
                           std::string(2000, 'W'),
                           ""};
    (void)exchange.writeJob(1, job);

    std::vector<qint64> frames;
    QObject::connect(sign.glide(), &lm::SignGlide::frameMoved,
                     [&](qint64 us) { frames.push_back(us); });
    // One second for the job to start and the first frames to settle.
    QTimer::singleShot(1000, [&] { frames.clear(); });
    QTimer::singleShot(1000 + seconds * 1000, &application, &QApplication::quit);
    QApplication::exec();

    std::vector<double> intervals;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        intervals.push_back(static_cast<double>(frames[i] - frames[i - 1]) / 1000.0);
    }
    if (intervals.empty()) {
        std::fprintf(stderr, "no frame moved the text\n");
        return 1;
    }
    std::sort(intervals.begin(), intervals.end());
    const auto at = [&](double q) {
        return intervals[static_cast<std::size_t>(q * static_cast<double>(intervals.size() - 1) +
                                                  0.5)];
    };
    const double frameMs = sign.glide()->frameIntervalMs();
    const auto late = std::count_if(intervals.begin(), intervals.end(),
                                    [&](double ms) { return ms > 1.5 * frameMs; });
    std::printf("refresh %.1f Hz, frame timer %.0f ms, %zu intervals: median %.2f ms, p99 %.2f "
                "ms, slowest %.2f ms, later than 1.5 intervals %.2f %%\n",
                sign.screen()->refreshRate(), frameMs, intervals.size(), at(0.5), at(0.99),
                intervals.back(),
                100.0 * static_cast<double>(late) / static_cast<double>(intervals.size()));
    return 0;
}
