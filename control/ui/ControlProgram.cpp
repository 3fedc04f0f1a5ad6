#include "ControlProgram.h"

#include "ExchangeFolder.h"
#include "ExchangeWatcher.h"
#include "JobTrace.h"
#include "QtTimeZone.h"
#include "QtTimer.h"
#include "WakeUpSocket.h"

#include <QTimer>
#include <cstdio>

namespace lm {

ControlProgram::ControlProgram(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    OperatorDesk::Options deskOptions;
    deskOptions.currentDir = m_options.workDir;
    deskOptions.stateFolder = m_options.stateFolder;
    deskOptions.clock = m_options.clock;
    m_desk = std::make_unique<OperatorDesk>(std::move(deskOptions));
    m_presence = std::make_unique<ControlPresence>(m_desk->exchange());
    m_requests = std::make_unique<LocalRequests>(*m_desk, [this] {
        if (m_raise) {
            m_raise();
        }
    });
    if (m_options.zone == nullptr) {
        m_ownZone = std::make_unique<QtTimeZone>();
    }
    const WallClock& clock =
        m_options.clock != nullptr ? *m_options.clock : SystemClock::instance();
    m_follower = std::make_unique<PlanFollower>(
        *m_desk, m_options.zone != nullptr ? *m_options.zone : *m_ownZone, clock,
        m_options.workDir);
    m_desk->addObserver(*this);
}

ControlProgram::~ControlProgram() {
    m_desk->removeObserver(*this);
}

void ControlProgram::deskChanged(DeskChanges changes) {
    if (has(changes, DeskChange::Notice)) {
        std::fprintf(stderr, "LMControl: %s\n", m_desk->state().notice.c_str());
        std::fflush(stderr);
    }
}

void ControlProgram::bind(Timer& timer) {
    if (m_options.bindTimer) {
        m_options.bindTimer(timer);
    } else {
        new QtTimer(timer, this);
    }
}

void ControlProgram::start() {
    m_desk->open();
    for (Timer* timer : m_desk->timers()) {
        bind(*timer);
    }
    bind(m_presence->timer());
    bind(m_requests->timer());
    bind(m_follower->timer());
    if (m_options.wakeUpPort != 0) {
        takeWakeUps(m_options.wakeUpPort);
    }
    m_jobTrace = JobTrace::fromEnvironment();
    const WallClock& clock =
        m_options.clock != nullptr ? *m_options.clock : SystemClock::instance();
    m_desk->setJobWritten([this, &clock](int n, const std::string& head) {
        if (m_jobTrace) {
            m_jobTrace->written(n, head, clock.realUs());
        }
        const std::optional<SignOfLife>& life = m_desk->displayLife(n);
        if (m_wakeUp != nullptr && life && life->port != 0) {
            m_wakeUp->send(n, life->addresses, life->port,
                           m_desk->exchange().jobPath(n).filename().string());
        }
    });
    m_presence->start();
    // Timers on a virtual clock (tests) would meet reports that come at real moments.
    if (!m_options.bindTimer && ExchangeWatcher::wanted()) {
        auto* watcher = new ExchangeWatcher(m_options.workDir, this);
        connect(watcher, &ExchangeWatcher::filesChanged, this, &ControlProgram::filesWritten);
    }
}

void ControlProgram::end(Ending ending) {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_desk->close(ending);
    m_presence->stop();
    m_requests->timer().setEnabled(false);
    m_follower->timer().setEnabled(false);
}

void ControlProgram::filesWritten(const QStringList& names) {
    for (const QString& name : names) {
        const std::optional<ExchangeFile> file = ExchangeFolder::fileOf(name.toStdString());
        if (file && file->kind != ExchangeFile::Kind::Job) {
            m_desk->answerChanged(file->kind == ExchangeFile::Kind::EndAnswer ? AnswerKind::End
                                                                              : AnswerKind::Next,
                                  file->display);
        }
    }
}

void ControlProgram::takeWakeUps(int port) {
    m_wakeUp = new WakeUpSocket(port, WakeUpGate::controlAnswers(), this);
    connect(m_wakeUp, &WakeUpSocket::filesChanged, this, &ControlProgram::filesWritten);
    const auto publish = [this] {
        m_presence->setWakeUp(m_wakeUp->port(), m_wakeUp->addresses());
        // Without a port of its own, no display's wake-ups can arrive: no cell says so.
        m_desk->setWakeUpsHeard(m_wakeUp->port() == 0 ? std::function<bool(int)>() : [this](int n) {
            return m_wakeUp->gate().heardFrom(n);
        });
    };
    publish();
    // A network that comes up after the program (a start at login) is taken when it is there.
    auto* refresh = new QTimer(this);
    refresh->setObjectName(QStringLiteral("wakeUpRefresh"));
    refresh->setInterval(5000);
    connect(refresh, &QTimer::timeout, this, [this, publish] {
        if (m_wakeUp->refresh()) {
            publish();
        }
    });
    refresh->start();
}

} // namespace lm
