#pragma once

#include <filesystem>
#include <string>

namespace lm {

// The sign surface as the scroll engine drives it: the text label lblLM1, the picture controls
// Image1 and Image2, and the window behind them. Positions are twips from the window's left
// edge; colours are numbers 0 to 15 of the 16-colour palette.
class SignView {
public:
    enum class Picture { Image1, Image2 };

    virtual ~SignView() = default;

    virtual void setLabelVisible(bool visible) = 0;
    virtual void setPictureVisible(Picture picture, bool visible) = 0;
    virtual void setLabelLeft(int twips) = 0;
    virtual void setPictureLeft(Picture picture, int twips) = 0;

    virtual void setLabelCaption(const std::string& text) = 0;
    virtual void setLabelForeColour(int colour) = 0;
    virtual void setLabelBackColour(int colour) = 0;
    virtual void setWindowBackColour(int colour) = 0;

    // The picture stretched to the control; an empty control when the file is missing or
    // cannot be decoded.
    virtual void loadPicture(Picture picture, const std::filesystem::path& file) = 0;

    // Closes the window; the program ends.
    virtual void unloadWindow() = 0;
};

} // namespace lm
