#include "PictureCopy.h"

#include "TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace lm {
namespace {

namespace fs = std::filesystem;

class PictureCopyTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ExchangeFolder exchange{dir.path()};

    void SetUp() override { exchange.make(); }

    void write(const fs::path& path, const std::string& bytes) const {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string bytesOf(const fs::path& path) const {
        return lineFile::readBytes(path).value_or("<missing>");
    }
    std::size_t filesInExchange() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(exchange.folder()), fs::directory_iterator()));
    }
};

TEST_F(PictureCopyTest, CopiesUnderTheBareNameAndReplacesAFileOfThatName) {
    fs::create_directory(dir.path() / "pics");
    write(dir.path() / "pics" / "sun.jpg", std::string("\xFF\xD8\xFF new\0picture", 15));
    write(exchange.folder() / "sun.jpg", "old");
    EXPECT_EQ(copyPictureIntoExchange((dir.path() / "pics" / "sun.jpg").string(), exchange),
              PictureCopyResult::Copied);
    EXPECT_EQ(bytesOf(exchange.folder() / "sun.jpg"), std::string("\xFF\xD8\xFF new\0picture", 15));
    EXPECT_EQ(filesInExchange(), 1U); // no temporary file left behind
}

TEST_F(PictureCopyTest, ARelativeSourceIsTakenFromTheWorkingFolder) {
    fs::create_directory(dir.path() / "pics");
    write(dir.path() / "pics" / "moon.gif", "GIF89a moon");
    EXPECT_EQ(copyPictureIntoExchange("pics/moon.gif", exchange), PictureCopyResult::Copied);
    EXPECT_EQ(bytesOf(exchange.folder() / "moon.gif"), "GIF89a moon");
}

TEST_F(PictureCopyTest, APictureIsNeverCopiedOntoItself) {
    write(exchange.folder() / "star.bmp", "GIF89a star");
    EXPECT_EQ(copyPictureIntoExchange((exchange.folder() / "star.bmp").string(), exchange),
              PictureCopyResult::SameFile);
    // The same file reached through another folder.
    fs::create_directory(dir.path() / "shared");
    fs::create_symlink(exchange.folder() / "star.bmp", dir.path() / "shared" / "star.bmp");
    EXPECT_EQ(copyPictureIntoExchange((dir.path() / "shared" / "star.bmp").string(), exchange),
              PictureCopyResult::SameFile);
    EXPECT_EQ(bytesOf(exchange.folder() / "star.bmp"), "GIF89a star");
}

TEST_F(PictureCopyTest, AMissingSourceFailsAndLeavesTheOldPicture) {
    write(exchange.folder() / "sun.jpg", "old");
    for (const char* source : {"C:\\pictures\\sun.jpg", "sun.jpg", "", "pics/", "/"}) {
        EXPECT_EQ(copyPictureIntoExchange(source, exchange), PictureCopyResult::Failed) << source;
    }
    EXPECT_EQ(bytesOf(exchange.folder() / "sun.jpg"), "old");
    EXPECT_EQ(filesInExchange(), 1U);
}

TEST_F(PictureCopyTest, AFolderIsNoPicture) {
    fs::create_directory(dir.path() / "album.jpg");
    EXPECT_EQ(copyPictureIntoExchange((dir.path() / "album.jpg").string(), exchange),
              PictureCopyResult::Failed);
}

TEST_F(PictureCopyTest, WithoutAnExchangeFolderTheCopyFails) {
    write(dir.path() / "sun.jpg", "GIF89a sun");
    fs::remove_all(exchange.folder());
    EXPECT_EQ(copyPictureIntoExchange((dir.path() / "sun.jpg").string(), exchange),
              PictureCopyResult::Failed);
}

} // namespace
} // namespace lm
