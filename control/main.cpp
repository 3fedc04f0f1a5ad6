#include "ShutdownSignals.h"
#include "frmLMControl.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>

namespace {

// Where the job and answer files must go when the process ends without returning from the
// event loop (the X connection broke at logout): exit() still runs the atexit handlers.
std::filesystem::path exchangeWorkDir;

extern "C" void cleanExchangeAtExit() {
    if (exchangeWorkDir.empty()) {
        return;
    }
    lm::frmLMControl::removeJobsAndAnswers(exchangeWorkDir);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    lm::ShutdownSignals shutdownSignals;

    lm::frmLMControl window;
    exchangeWorkDir = window.CurrentDir;
    std::atexit(cleanExchangeAtExit);

    // SIGTERM, SIGINT and logout never reach the close box: unload, then leave every event
    // loop, a modal dialog's included.
    QObject::connect(&shutdownSignals, &lm::ShutdownSignals::received, &window, [&window] {
        window.Form_Unload();
        QCoreApplication::exit(0);
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.Form_Unload(); });

    window.show();
    const int status = QApplication::exec();
    window.Form_Unload();
    exchangeWorkDir.clear();
    return status;
}
