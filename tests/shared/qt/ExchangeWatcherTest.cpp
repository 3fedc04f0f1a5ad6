#include "ExchangeWatcher.h"

#include "LineFile.h"
#include "TempDir.h"

#include <QtTest>
#include <filesystem>
#include <fstream>

namespace lm::test {

namespace fs = std::filesystem;

// The kernel's reports of the Exchange folder, through a folder that goes away and comes back
// with a file already in it.
class ExchangeWatcherTest : public QObject {
    Q_OBJECT

private slots:
    void aFolderThatComesBackIsWatchedAgain_data() {
        QTest::addColumn<QString>("fault");
        for (const char* fault : {"missing", "removed", "renamed", "notAFolder"}) {
            QTest::newRow(fault) << QString::fromLatin1(fault);
        }
    }

    void aFolderThatComesBackIsWatchedAgain() {
        QFETCH(QString, fault);
        TempDir work;
        const fs::path data = work.path() / "data";
        const fs::path away = work.path() / "away";
        if (fault != QLatin1String("missing")) {
            fs::create_directory(data);
        }
        if (fault == QLatin1String("notAFolder")) {
            fs::remove(data);
            std::ofstream(data) << "a file";
        }
        ExchangeWatcher watcher(work.path());
        QVERIFY2(watcher.problem().isEmpty(), qPrintable(watcher.problem()));
        QStringList reported;
        connect(&watcher, &ExchangeWatcher::filesChanged, this,
                [&](const QStringList& names) { reported << names; });
        QCOMPARE(watcher.isWatching(), fs::is_directory(data));
        if (fault == QLatin1String("removed")) {
            fs::remove(data);
        } else if (fault == QLatin1String("renamed")) {
            fs::rename(data, away);
        }
        QTRY_VERIFY(!watcher.isWatching());

        // It comes back with a file in it, made anew or moved back.
        fs::remove(data);
        if (fault == QLatin1String("renamed")) {
            std::ofstream(away / "LMPNext1.ans") << " 0 ,next\r\n";
            fs::rename(away, data);
        } else {
            fs::create_directory(data);
            std::ofstream(data / "LMPNext1.ans") << " 0 ,next\r\n";
        }
        QTRY_VERIFY(watcher.isWatching());
        QTRY_VERIFY(reported.contains(QStringLiteral("LMPNext1.ans")));

        // A write is reported once it is whole, and a burst once; reading, deleting and
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

    // A watch the kernel refuses is said once, and the folder is left to the polls.
    void aWatchThatCannotBeSetIsSaidOnce() {
        TempDir work;
        const fs::path data = work.path() / "data";
        fs::create_directory_symlink("data", data); // a loop: ELOOP
        ExchangeWatcher watcher(work.path());
        QVERIFY(!watcher.isWatching());
        QVERIFY2(watcher.problem().contains(QStringLiteral("cannot be watched")),
                 qPrintable(watcher.problem()));
        const QString first = watcher.problem();
        // The working folder's reports make it try again; it says nothing new.
        fs::create_directory(work.path() / "other");
        fs::rename(work.path() / "other", work.path() / "other2");
        QTest::qWait(50);
        QCOMPARE(watcher.problem(), first);
    }
};

} // namespace lm::test

QTEST_GUILESS_MAIN(lm::test::ExchangeWatcherTest)
#include "ExchangeWatcherTest.moc"
