// A job file of any bytes, picked up by the display's poller and played by its scroll engine
// for up to a few thousand ticks, as the display program would.
#include "DisplayLogic.h"
#include "LineFile.h"
#include "SignView.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace {

class NullView : public lm::SignView {
public:
    void setLabelVisible(bool) override {}
    void setPictureVisible(Picture, bool) override {}
    void setLabelLeft(int) override {}
    void setPictureLeft(Picture, int) override {}
    void setLabelCaption(const std::string&) override {}
    void setLabelForeColour(int colour) override { checkColour(colour); }
    void setLabelBackColour(int colour) override { checkColour(colour); }
    void setWindowBackColour(int colour) override { checkColour(colour); }
    void loadPicture(Picture, const std::filesystem::path& file) override {
        // Pictures are only ever read from inside the Exchange folder.
        if (file.parent_path().filename() != "data") {
            __builtin_trap();
        }
    }
    void unloadWindow() override {}

private:
    static void checkColour(int colour) {
        if (colour < 0 || colour > 15) {
            __builtin_trap();
        }
    }
};

const std::filesystem::path& workDir() {
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "lmfuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        std::filesystem::create_directory(std::filesystem::path(pattern) / "data");
        return std::filesystem::path(pattern);
    }();
    static const bool cleanUpAtExit = [] {
        return std::atexit([] {
                   std::error_code ignored;
                   std::filesystem::remove_all(workDir(), ignored);
               }) == 0;
    }();
    (void)cleanUpAtExit;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!lm::lineFile::writeBytes(workDir() / "data" / "LMData1.ini", bytes)) {
        return 0;
    }
    NullView view;
    lm::DisplayLogic logic(view, workDir());
    logic.setLMScreenWidth(15360);
    logic.start(1);
    logic.poller().Timer3_Timer();
    for (int tick = 0; tick < 5000 && logic.timer2().isActive(); ++tick) {
        logic.engine().Timer2_Timer();
    }
    return 0;
}
