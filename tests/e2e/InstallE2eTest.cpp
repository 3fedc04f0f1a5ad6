#include "Program.h"
#include "TempDir.h"
#include "Wait.h"
#include "XDo.h"
#include "XServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <filesystem>

using namespace lm::e2e;
namespace fs = std::filesystem;

namespace {

QString qs(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Runs a command to its end; its output goes into the failure message.
bool runCommand(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment, QString& output, int ms = 120000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(ms);
    output = QString::fromLocal8Bit(process.readAll());
    if (!finished) {
        process.kill();
        process.waitForFinished(3000);
        output += QStringLiteral("\n(timed out)");
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The value of a key of a desktop entry's main group, or empty.
QString desktopValue(const fs::path& entry, const QString& key) {
    QFile file(qs(entry));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    const QString prefix = key + QLatin1Char('=');
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed();
        }
    }
    return {};
}

} // namespace

// The programs as users get them: installed with cmake --install and from the .deb, started
// the way their desktop entries start them.
class InstallE2eTest : public QObject {
    Q_OBJECT

private:
    // The tree under usr (the installed /usr): both programs, their launcher, the desktop
    // entries and the icon they name; then each program started through its entry's command.
    // The systemd user unit of the control program without a window: its command, through the
    // installed launcher with no display server, runs the desk in LMSIGN_WORKDIR, and the
    // SIGTERM that stops the unit ends it cleanly.
    static void checkHeadlessUnit(const fs::path& usr) {
        const fs::path unit = usr / "lib/systemd/user/lmcontrol.service";
        QVERIFY2(fs::exists(unit), qPrintable(qs(unit)));
        // desktopValue reads any "key=value" file of one group.
        QStringList command = desktopValue(unit, QStringLiteral("ExecStart")).split(' ');
        QCOMPARE(command.mid(1, 3), (QStringList{"LMControl", "--no-window", "--resume"}));
        QCOMPARE(command.last(), QStringLiteral("$LMCONTROL_OPTIONS"));
        const fs::path launcher = usr / "bin" / command[0].toStdString();
        QVERIFY2(fs::exists(launcher), qPrintable(command[0]));

        lm::test::TempDir work;
        XServer folders; // its settings and state folders; no display reaches the program
        QProcessEnvironment environment = folders.environment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("LMSIGN_WORKDIR"), qs(work.path() / "sign"));
        QProcess control;
        control.setProcessEnvironment(environment);
        control.setProcessChannelMode(QProcess::MergedChannels);
        control.start(qs(launcher), command.mid(1, 3));
        QVERIFY(control.waitForStarted(5000));
        QVERIFY(
            waitUntil([&] { return fs::exists(work.path() / "sign/data/LMControl.dat"); }, 10000));
        QVERIFY(control.state() == QProcess::Running);
        control.terminate();
        QVERIFY2(control.waitForFinished(3000), qPrintable(QString::fromUtf8(control.readAll())));
        QCOMPARE(control.exitCode(), 0);
    }

    static void checkInstalledTree(const fs::path& usr) {
        checkHeadlessUnit(usr);
        const fs::path bin = usr / "bin";
        for (const char* program : {"Velisto", "LMControl", "lmsign-start"}) {
            const fs::path file = bin / program;
            QVERIFY2(fs::exists(file), qPrintable(qs(file)));
            QVERIFY2((fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none,
                     qPrintable(qs(file)));
        }

        struct Entry {
            const char* file;
            QStringList arguments; // the launcher's, field codes such as %f left out
            QString windowName;
        };
        const Entry entries[] = {
            {"velisto.desktop", {"Velisto"}, QStringLiteral("ミラトス")},
            {"lmcontrol.desktop", {"LMControl"}, QStringLiteral("制御機　ミラトス")},
            {"lmcontrol-resume.desktop",
             {"LMControl", "--resume"},
             QStringLiteral("制御機　ミラトス")},
            // The launcher does not exec Velisto here: a loop of its own restarts it.
            {"lmsign-wall.desktop", {"--wall"}, QStringLiteral("ミラトス")},
        };
        XServer screen;
        QVERIFY2(screen.isRunning(), qPrintable(screen.error()));
        const XDo xdo(screen);
        for (const Entry& entry : entries) {
            const fs::path desktopFile = usr / "share" / "applications" / entry.file;
            QVERIFY2(fs::exists(desktopFile), qPrintable(qs(desktopFile)));
            const QString icon = desktopValue(desktopFile, QStringLiteral("Icon"));
            QVERIFY2(fs::exists(usr / "share/icons/hicolor/scalable/apps" /
                                (icon + QStringLiteral(".svg")).toStdString()),
                     qPrintable(icon));
            // The entry's command, with its program taken from the installed bin folder.
            QStringList command =
                desktopValue(desktopFile, QStringLiteral("Exec")).split(QLatin1Char(' '));
            command.removeIf([](const QString& word) { return word.startsWith('%'); });
            QCOMPARE(command.mid(1), entry.arguments);
            const fs::path launcher = bin / command[0].toStdString();
            QVERIFY2(fs::exists(launcher), qPrintable(command[0]));

            // The launcher starts the program in LMSIGN_WORKDIR.
            lm::test::TempDir work;
            const fs::path workDir = work.path() / "sign";
            qputenv("LMSIGN_WORKDIR", QFile::encodeName(qs(workDir)));
            Program program(qs(launcher), work.path(), screen, entry.arguments);
            qunsetenv("LMSIGN_WORKDIR");
            QVERIFY2(xdo.waitForWindow(entry.windowName) != 0, qPrintable(program.output()));
            QVERIFY(fs::is_directory(workDir));
            if (entry.arguments.front() == QLatin1String("LMControl")) {
                // The control program makes the Exchange folder in its working folder.
                QVERIFY(waitUntil([&] { return fs::is_directory(workDir / "data"); }, 5000));
            }
            QVERIFY2(program.isRunning(), qPrintable(program.output()));
        }
    }

private slots:
    void installedProgramsStart() {
        lm::test::TempDir destDir;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), qs(destDir.path()));
        QString output;
        QVERIFY2(runCommand(QStringLiteral(LM_CMAKE_COMMAND),
                            {QStringLiteral("--install"), QStringLiteral(LM_BUILD_DIR),
                             QStringLiteral("--prefix"), QStringLiteral("/usr")},
                            environment, output),
                 qPrintable(output));
        checkInstalledTree(destDir.path() / "usr");
    }

    void packagedProgramsStart() {
        const QString config = QStringLiteral(LM_BUILD_DIR "/CPackConfig.cmake");
        if (!QFile::exists(config)) {
            QSKIP("this build makes no package");
        }
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty()) {
            QSKIP("dpkg-deb is missing");
        }
        lm::test::TempDir packageDir;
        QString output;
        const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        QVERIFY2(runCommand(QStringLiteral(LM_CPACK_COMMAND),
                            {QStringLiteral("--config"), config, QStringLiteral("-B"),
                             qs(packageDir.path())},
                            environment, output),
                 qPrintable(output));
        const QStringList packages =
            QDir(qs(packageDir.path())).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(packages.size(), 1);
        const QString package = qs(packageDir.path()) + QLatin1Char('/') + packages[0];

        // The package needs the Qt libraries and the Japanese fonts.
        QVERIFY2(runCommand(QStringLiteral("dpkg-deb"),
                            {QStringLiteral("-f"), package, QStringLiteral("Depends")}, environment,
                            output),
                 qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("libqt6widgets6")), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("fonts-ipafont-gothic")), qPrintable(output));

        const fs::path root = packageDir.path() / "root";
        QVERIFY2(runCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, qs(root)},
                            environment, output),
                 qPrintable(output));
        checkInstalledTree(root / "usr");
    }
};

QTEST_GUILESS_MAIN(InstallE2eTest)
#include "InstallE2eTest.moc"
