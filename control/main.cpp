#include "QtMessageBoxes.h"
#include "ShiftJis.h"
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
    // Every job file is written in code page 932; without the converter the first one would
    // fail inside a timer tick.
    if (const std::string missing = lm::ShiftJis::missingConverters(); !missing.empty()) {
        lm::QtMessageBoxes().warn(
            "このコンピュータの C ライブラリ（iconv）に、シフトJIS（CP932）の変換がありません（" +
                missing +
                "）。表示プログラムへの指示を書けないため、終了します。gconv の CP932 "
                "モジュール（Debian では libc6 に含まれます）を入れて下さい。",
            "注意！");
        return 1;
    }
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
