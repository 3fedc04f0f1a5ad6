#include "ReplacingFile.h"

#include "ExchangeFolder.h"
#include "TempDir.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lm {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool replace(const fs::path& path, ReplacingFile::Kind kind = ReplacingFile::Kind::Own) {
    ReplacingFile file(path, kind);
    return file.write("new") && file.commit();
}

class ReplacingFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    const mode_t m_umask = ::umask(0);
    void TearDown() override { ::umask(m_umask); }
};

TEST_F(ReplacingFileTest, ASaveKeepsLinksAndModes) {
    ::umask(0027);
    fs::create_directory(dir.path() / "shows");
    for (const char* name : {"shows/real.txt", "plain.txt"}) {
        std::ofstream(dir.path() / name) << "old";
        fs::permissions(dir.path() / name, fs::perms(0604));
    }
    fs::create_symlink("shows/real.txt", dir.path() / "show.txt"); // relative, as users make them
    for (const char* name : {"show.txt", "plain.txt", "fresh.txt"}) {
        ASSERT_TRUE(replace(dir.path() / name)) << name;
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "show.txt"));
    EXPECT_EQ(lineFile::readBytes(dir.path() / "shows/real.txt"), "new");
    EXPECT_EQ(modeOf(dir.path() / "shows/real.txt"), 0604);
    EXPECT_EQ(modeOf(dir.path() / "plain.txt"), 0604);
    EXPECT_EQ(modeOf(dir.path() / "fresh.txt"), 0640);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "shows"), {}), 1);
}

// Whatever the umask, nobody outside the group may write what the programs put into the share,
// nor make them write elsewhere through a link planted there.
TEST_F(ReplacingFileTest, TheShareIsNeverWorldWritableNorWrittenThroughALink) {
    const ExchangeFolder exchange(dir.path());
    for (const mode_t mask : {0000, 0022}) {
        ::umask(mask);
        fs::remove_all(exchange.folder());
        exchange.make();
        ASSERT_EQ(exchange.writeJob(1, stopJob()), WriteStatus::Ok);
        ASSERT_TRUE(replace(exchange.folder() / "sun.jpg", ReplacingFile::Kind::Shared));
        EXPECT_EQ(modeOf(exchange.folder()), 0775 & ~mask);
        EXPECT_EQ(modeOf(exchange.jobPath(1)), 0664 & ~mask);
        EXPECT_EQ(modeOf(exchange.folder() / "sun.jpg"), 0664 & ~mask);
    }
    std::ofstream(dir.path() / "private.txt") << "mine";
    fs::create_symlink(dir.path() / "private.txt", exchange.jobPath(2));
    fs::create_symlink(dir.path() / "private.txt", exchange.folder() / "moon.jpg");
    EXPECT_EQ(exchange.writeJob(2, stopJob()), WriteStatus::IoError);
    EXPECT_TRUE(replace(exchange.folder() / "moon.jpg", ReplacingFile::Kind::Shared));
    EXPECT_EQ(lineFile::readBytes(dir.path() / "private.txt"), "mine");
}

// A save killed half-way leaves its temporary file; the next save into the folder removes
// such leftovers and nothing else.
TEST_F(ReplacingFileTest, TheNextSaveRemovesOnlyLeftoversOfKilledSaves) {
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    const std::string here = ".lmtmp-" + std::string(host) + "-";
    const std::string gone = "4194305-0.part"; // above any pid_max
    const std::string alive = std::to_string(::getppid()) + "-0.part";
    const std::vector<std::tuple<std::string, bool, bool>> files{
        // name, two hours old, removed
        {here + gone, false, true},
        {here + alive, false, false},
        {".lmtmp-display7-" + gone, false, false}, // another computer's save in progress
        {".lmtmp-display7-" + alive, true, true},
        {"show.part", true, false}};
    for (const auto& [name, old, removed] : files) {
        std::ofstream(dir.path() / name) << "x";
        if (old) {
            fs::last_write_time(dir.path() / name,
                                fs::file_time_type::clock::now() - std::chrono::hours(2));
        }
    }
    ASSERT_TRUE(replace(dir.path() / "show.txt"));
    for (const auto& [name, old, removed] : files) {
        EXPECT_EQ(fs::exists(dir.path() / name), !removed) << name;
    }
}

} // namespace
} // namespace lm
