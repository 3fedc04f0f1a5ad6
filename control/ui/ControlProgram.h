#pragma once

#include "ControlPresence.h"
#include "DeskObserver.h"
#include "LocalRequests.h"
#include "OperatorDesk.h"
#include "PlanFollower.h"
#include "TimeZone.h"

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>

namespace lm {

class JobTrace;
class WakeUpSocket;

// The control program without its window: the operator's desk on this event loop, with what
// ties it to the world outside: its timers on precise QTimers, the control program's sign of
// life in the Exchange folder, the answers the file system reports at once, the wake-ups over
// the network, the requests of a second start or `--say`, and the week plan on the local time
// zone. What the desk says without a box goes to standard error (the journal). The window,
// when there is one, is a view on its desk.
class ControlProgram : public QObject, private DeskObserver {
    Q_OBJECT
public:
    struct Options {
        std::filesystem::path workDir; // CurrentDir: its data/ is the Exchange folder
        std::filesystem::path stateFolder;
        const WallClock* clock = nullptr;
        // Drives each timer. Null: a precise QTimer of this program.
        std::function<void(Timer&)> bindTimer;
        // The UDP port where the displays' wake-ups arrive; 0: none taken, none sent.
        int wakeUpPort = 0;
        // The zone the week plan runs in. Null: this computer's.
        const TimeZone* zone = nullptr;
    };

    explicit ControlProgram(Options options, QObject* parent = nullptr);
    ~ControlProgram() override;
    ControlProgram(const ControlProgram&) = delete;
    ControlProgram& operator=(const ControlProgram&) = delete;

    OperatorDesk& desk() { return *m_desk; }
    LocalRequests& requests() { return *m_requests; }
    PlanFollower& follower() { return *m_follower; }
    // What brings the window to the front on a second start; nothing without a window.
    void setRaise(std::function<void()> raise) { m_raise = std::move(raise); }

    // The desk opens the Exchange folder and starts its timers; the sign of life is written.
    void start();
    // The program ends: the desk cleans the Exchange folder up. Only the first call acts.
    void end(Ending ending);

private:
    void deskChanged(DeskChanges changes) override;
    void bind(Timer& timer);
    // Files of the Exchange folder that were written, as reported or woken up for.
    void filesWritten(const QStringList& names);
    void takeWakeUps(int port);

    Options m_options;
    std::unique_ptr<OperatorDesk> m_desk;
    std::unique_ptr<ControlPresence> m_presence;
    std::unique_ptr<LocalRequests> m_requests;
    std::unique_ptr<TimeZone> m_ownZone;
    std::unique_ptr<PlanFollower> m_follower;
    std::unique_ptr<JobTrace> m_jobTrace;
    WakeUpSocket* m_wakeUp = nullptr;
    std::function<void()> m_raise;
    bool m_ended = false;
};

} // namespace lm
