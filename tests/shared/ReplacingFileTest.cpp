#include "ReplacingFile.h"

#include "ExchangeFolder.h"
#include "TempDir.h"

#include <array>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lm {
namespace {

namespace fs = std::filesystem;

class ReplacingFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ExchangeFolder exchange{dir.path()};

    void SetUp() override { exchange.make(); }
    void TearDown() override { ::umask(m_umask); }

    static mode_t modeOf(const fs::path& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
    static std::string bytesOf(const fs::path& path) {
        return lineFile::readBytes(path).value_or("<missing>");
    }
    static bool replace(const fs::path& path, std::string_view bytes,
                        ReplacingFile::Kind kind = ReplacingFile::Kind::Own) {
        ReplacingFile file(path, kind);
        return file.write(bytes) && file.commit();
    }

private:
    mode_t m_umask = ::umask(0);
};

// Everything the programs create in the share: nobody outside the group may write it, whatever
// the umask; the group keeps what the umask gives, so displays elsewhere can answer.
TEST_F(ReplacingFileTest, FilesCreatedInTheShareAreNeverWorldWritable) {
    for (const mode_t mask : {0000, 0002, 0022, 0027}) {
        ::umask(mask);
        const fs::path job = exchange.jobPath(1);
        const fs::path picture = exchange.folder() / "sun.jpg";
        fs::remove(job);
        fs::remove(picture);
        ASSERT_EQ(exchange.writeJob(1, stopJob()), WriteStatus::Ok);
        ASSERT_TRUE(replace(picture, "GIF89a", ReplacingFile::Kind::Shared));
        EXPECT_EQ(modeOf(job), 0664 & ~mask) << std::oct << mask;
        EXPECT_EQ(modeOf(picture), 0664 & ~mask) << std::oct << mask;
    }
    fs::remove_all(exchange.folder());
    ::umask(0);
    exchange.make();
    EXPECT_EQ(modeOf(exchange.folder()), 0775);
}

// Anyone who can write the share could put a link where a file of the programs goes.
TEST_F(ReplacingFileTest, ALinkInTheShareIsNeverWrittenThrough) {
    const fs::path privateFile = dir.path() / "private.txt";
    std::ofstream(privateFile) << "mine";
    fs::create_symlink(privateFile, exchange.jobPath(2));
    fs::create_symlink(privateFile, exchange.folder() / "sun.jpg");
    EXPECT_EQ(exchange.writeJob(2, stopJob()), WriteStatus::IoError);
    EXPECT_TRUE(replace(exchange.folder() / "sun.jpg", "GIF89a", ReplacingFile::Kind::Shared));
    EXPECT_EQ(bytesOf(privateFile), "mine");
    EXPECT_FALSE(fs::is_symlink(exchange.folder() / "sun.jpg"));
}

TEST_F(ReplacingFileTest, ASaveKeepsLinksAndModes) {
    ::umask(0027);
    const fs::path target = dir.path() / "shows" / "real.txt";
    fs::create_directory(target.parent_path());
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms(0604));
    const fs::path link = dir.path() / "show.txt";
    fs::create_symlink(fs::path("shows") / "real.txt", link); // relative, as users make them
    const fs::path plain = dir.path() / "plain.txt";
    std::ofstream(plain) << "old";
    fs::permissions(plain, fs::perms(0600));

    ASSERT_TRUE(replace(link, "new"));
    ASSERT_TRUE(replace(plain, "new"));
    ASSERT_TRUE(replace(dir.path() / "fresh.txt", "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(bytesOf(target), "new");
    EXPECT_EQ(modeOf(target), 0604);
    EXPECT_EQ(modeOf(plain), 0600);
    EXPECT_EQ(modeOf(dir.path() / "fresh.txt"), 0640);
    // No temporary file is left beside the target.
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), {}), 1);
}

// A save killed half-way leaves its temporary file; the next save into the folder removes it,
// and nothing else.
TEST_F(ReplacingFileTest, TheNextSaveRemovesOnlyLeftoversOfKilledSaves) {
    std::array<char, 256> host{};
    ASSERT_EQ(::gethostname(host.data(), host.size() - 1), 0);
    const std::string here(host.data());
    const std::string self = std::to_string(::getpid());
    const std::string parent = std::to_string(::getppid());
    constexpr const char* noSuchProcess = "4194305"; // above any pid_max
    struct Case {
        std::string name;
        bool old;
        bool removed;
    };
    const std::vector<Case> cases{
        {".lmtmp-" + here + "-" + noSuchProcess + "-0.part", false, true},
        {".lmtmp-" + here + "-" + parent + "-0.part", false, false}, // a save in progress
        {".lmtmp-" + here + "-" + self + "-999.part", false, false},
        {".lmtmp-display7-" + std::string(noSuchProcess) + "-0.part", false, false},
        {".lmtmp-display7-" + parent + "-0.part", true, true},
        {".lmtmp-12-3.part", true, true}, // named by an older version
        {".lmtmp-notes.part", true, false},
        {"show.txt.part", true, false},
        {".lmtmp-" + here + "-" + noSuchProcess + "-0.txt", false, false},
    };
    for (const Case& c : cases) {
        const fs::path path = dir.path() / c.name;
        std::ofstream(path) << "x";
        if (c.old) {
            fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
        }
    }
    ASSERT_TRUE(replace(dir.path() / "show.txt", "new"));
    for (const Case& c : cases) {
        EXPECT_EQ(fs::exists(dir.path() / c.name), !c.removed) << c.name;
    }
}

TEST(ExchangeNames, NamesOfTheProgramsOwnFilesAreReserved) {
    for (const char* name :
         {"LMData1.ini", "LMData.ini", "LMPNext16.ans", "LMPEnd3.ans", "LMAlive2.dat",
          "lmdata1.INI", "LMPEND3.ans. ", ".lmtmp-a-1-2.part", ".LMTMP-x.PART"}) {
        EXPECT_TRUE(ExchangeFolder::isReservedName(name)) << name;
    }
    for (const char* name : {"sun.jpg", "LMData1.txt", "XLMData1.ini", "LMData1.ini.jpg",
                             "LMAlive.dat.bmp", ".lmtmp-"}) {
        EXPECT_FALSE(ExchangeFolder::isReservedName(name)) << name;
    }
}

} // namespace
} // namespace lm
