#pragma once

#include "SignView.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lm::test {

// Remembers what the scroll engine last made the sign show.
class FakeSignView : public SignView {
public:
    struct Control {
        bool visible = false;
        int left = 0;
        std::optional<std::filesystem::path> picture;
    };

    void setLabelVisible(bool visible) override { label.visible = visible; }
    void setPictureVisible(Picture picture, bool visible) override {
        of(picture).visible = visible;
    }
    void setLabelLeft(int twips) override { label.left = twips; }
    void setPictureLeft(Picture picture, int twips) override { of(picture).left = twips; }
    void setLabelCaption(const std::string& text) override {
        caption = text;
        ++captionsSet;
    }
    void setLabelForeColour(int colour) override { labelFore = colour; }
    void setLabelBackColour(int colour) override { labelBack = colour; }
    void setWindowBackColour(int colour) override { windowBack = colour; }
    void loadPicture(Picture picture, const std::filesystem::path& file) override {
        of(picture).picture = file;
        ++picturesLoaded;
    }
    void unloadWindow() override { ++unloads; }

    Control& of(Picture picture) { return pictures[picture == Picture::Image1 ? 0 : 1]; }

    Control label{true, 0, std::nullopt};
    std::array<Control, 2> pictures{};
    std::string caption;
    int captionsSet = 0;
    int picturesLoaded = 0;
    std::optional<int> labelFore;
    std::optional<int> labelBack;
    std::optional<int> windowBack;
    int unloads = 0;
};

} // namespace lm::test
