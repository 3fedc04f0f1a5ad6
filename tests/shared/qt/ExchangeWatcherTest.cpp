#include "ExchangeWatcher.h"

#include "LineFile.h"
#include "TempDir.h"

#include <QtTest>
#include <filesystem>
#include <fstream>

namespace lm::test {

namespace fs = std::filesystem;

// The kernel's reports of the Exchange folder, through a folder that goes away and comes back.
class ExchangeWatcherTest : public QObject {
    Q_OBJECT

private:
    enum class Fault { MissingAtStart, Removed, RenamedAwayAndBack, NotAFolder };

private slots:
    void aFolderThatComesBackIsWatchedAgain_data() {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("missing at start") << Fault::MissingAtStart;
        QTest::newRow("removed and made again") << Fault::Removed;
        QTest::newRow("renamed away and back") << Fault::RenamedAwayAndBack;
        QTest::newRow("a file, then a folder") << Fault::NotAFolder;
    }

    void aFolderThatComesBackIsWatchedAgain() {
        QFETCH(Fault, fault);
        TempDir work;
        const fs::path data = work.path() / "data";
        const fs::path away = work.path() / "data.away";
        if (fault == Fault::NotAFolder) {
            std::ofstream(data) << "not a folder";
        } else if (fault != Fault::MissingAtStart) {
            fs::create_directory(data);
        }
        ExchangeWatcher watcher(work.path());
        QStringList reported;
        connect(&watcher, &ExchangeWatcher::filesChanged, this,
                [&](const QStringList& names) { reported << names; });
        QCOMPARE(watcher.isWatching(),
                 fault == Fault::Removed || fault == Fault::RenamedAwayAndBack);

        // The folder goes; a file written where it was is not the Exchange folder's.
        if (fault == Fault::Removed) {
            fs::remove_all(data);
        } else if (fault == Fault::RenamedAwayAndBack) {
            fs::rename(data, away);
            std::ofstream(away / "LMPNext1.ans") << " 0 ,next\r\n";
        }
        QTRY_VERIFY(!watcher.isWatching());
        QTest::qWait(50);
        QVERIFY2(reported.isEmpty(), qPrintable(reported.join(' ')));

        // It comes back, with a file already in it, which is reported then.
        if (fault == Fault::NotAFolder) {
            fs::remove(data);
        }
        if (fault == Fault::RenamedAwayAndBack) {
            fs::rename(away, data);
        } else {
            fs::create_directory(data);
            std::ofstream(data / "LMPNext1.ans") << " 0 ,next\r\n";
        }
        QTRY_VERIFY(watcher.isWatching());
        QTRY_VERIFY(reported.contains(QStringLiteral("LMPNext1.ans")));

        // Each write is reported once it is whole, and a burst once; reading, deleting and
        // touching are not reported.
        reported.clear();
        for (const char* head : {" 1 \r\n", " 2 \r\n", " 3 \r\n"}) {
            QVERIFY(lineFile::writeBytes(data / "LMData3.ini", head));
        }
        QTRY_COMPARE(reported, QStringList{QStringLiteral("LMData3.ini")});
        QVERIFY(lineFile::readBytes(data / "LMData3.ini"));
        fs::last_write_time(data / "LMData3.ini", fs::file_time_type::clock::now());
        fs::remove(data / "LMPNext1.ans");
        QTest::qWait(50);
        QCOMPARE(reported, QStringList{QStringLiteral("LMData3.ini")});
    }
};

} // namespace lm::test

QTEST_GUILESS_MAIN(lm::test::ExchangeWatcherTest)
#include "ExchangeWatcherTest.moc"
