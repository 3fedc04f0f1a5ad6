// The cost of one movement tick of the sign, painting included, on the offscreen platform:
// the engine moves the item, then the event loop repaints and flushes what changed.
//
//   build/benchmarks/display_tick_benchmark --benchmark_repetitions=5
//
// Each row reports the mean time per tick and, as counters, the median and 90th percentile of
// the single ticks (p50_ms, p90_ms).

#include "DisplayLogic.h"
#include "ExchangeFolder.h"
#include "SignLabel.h"
#include "TextRules.h"
#include "Velisto.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <vector>

namespace {

// 260 characters: as long as the label, 200 window widths, can show.
std::string longJapaneseText() {
    const std::string sentence = "本日は当館にお越しいただき誠にありがとうございます。"
                                 "展示は三階までご覧いただけます。";
    std::string text;
    while (lm::characterCount(text) + lm::characterCount(sentence) <= 260) {
        text += sentence;
    }
    return text;
}

void writePicture(const std::filesystem::path& file, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    painter.end();
    image.save(QString::fromStdString(file.string()), "JPG");
}

// Counts the paint events of the sign's controls, so a tick that painted nothing is noticed.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

// A sign window of the size, running the job, with its timers stopped so the benchmark ticks.
class Sign {
public:
    Sign(QSize size, const lm::JobLines& job) {
        m_exchange.make();
        writePicture(m_exchange.folder() / "picture.jpg", size);
        // Covers the screen of that size, as on a display computer.
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen->size() == size) {
                m_window.setScreen(screen);
            }
        }
        m_window.Form_Load();
        m_window.show();
        settle();
        m_window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("1"));
        m_window.Command1_Click();
        m_job = job;
        for (const char* name : {"lblLM1", "Image1", "Image2"}) {
            m_window.findChild<QWidget*>(QString::fromLatin1(name))->installEventFilter(&m_counter);
        }
        restart();
    }

    int paints() const { return m_counter.paints; }

    // Starts the item again from the right edge.
    void restart() {
        m_job[0] = " " + std::to_string(++m_round) + " ";
        m_exchange.writeJob(1, m_job);
        m_window.logic().poller().Timer3_Timer();
        m_window.logic().stopAll();
        settle();
    }

    QSize size() const { return m_window.size(); }

    bool running() {
        lm::DisplayLogic& logic = m_window.logic();
        return m_job[1] == "文字" ? logic.engine().LMX() > -logic.engine().LMTextWidth() +
                                                               2 * logic.engine().LMMoveStep()
               : m_job[3] == "左へ" ? logic.engine().LMXP() > 2 * logic.engine().LMPMoveStep()
                                    : logic.engine().LMX() > -logic.engine().LMTextWidth() +
                                                                 2 * logic.engine().LMMoveStep();
    }

    void tick() {
        m_window.logic().engine().Timer2_Timer();
        settle();
    }

private:
    static void settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    PaintCounter m_counter;
    QTemporaryDir m_dir;
    lm::ExchangeFolder m_exchange{m_dir.path().toStdString()};
    lm::Velisto m_window{m_dir.path().toStdString()};
    lm::JobLines m_job;
    int m_round = 0;
};

void runTicks(benchmark::State& state, const lm::JobLines& job) {
    const QSize size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    Sign sign(size, job);
    if (sign.size() != size) {
        state.SkipWithError("no screen of that size");
        return;
    }
    std::vector<double> ticks;
    for (auto _ : state) {
        if (!sign.running()) {
            state.PauseTiming();
            sign.restart();
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        sign.tick();
        ticks.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ticks.begin(), ticks.end());
    state.counters["paints_per_tick"] =
        benchmark::Counter(sign.paints(), benchmark::Counter::kAvgIterations);
    if (!ticks.empty()) {
        state.counters["p50_ms"] = ticks[ticks.size() / 2];
        state.counters["p90_ms"] = ticks[ticks.size() * 9 / 10];
    }
}

void textTick(benchmark::State& state) {
    runTicks(state, {"", "文字", "", "左へ", "", "白", "暗い青", "速く", longJapaneseText(), ""});
}

void movingPictureTick(benchmark::State& state) {
    runTicks(state, {"", "画像", "", "左へ", "", "白", "黒", "速く", "", "picture.jpg"});
}

void stillPictureTick(benchmark::State& state) {
    runTicks(state, {"", "画像", "", "移動しない", "", "白", "黒", "速く", "", "picture.jpg"});
}

void sizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
}

BENCHMARK(textTick)->Apply(sizes);
BENCHMARK(movingPictureTick)->Apply(sizes);
BENCHMARK(stillPictureTick)->Apply(sizes);

} // namespace

int main(int argc, char* argv[]) {
    // Two offscreen screens at 96 dpi, one for each size measured.
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return 1;
    }
    file.write(R"({"screens": [
        {"name": "HD", "x": 0, "y": 0, "width": 1920, "height": 1080,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "UHD", "x": 1920, "y": 0, "width": 3840, "height": 2160,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
