#pragma once

#include <string>

namespace lm {

// The strings through which the file chooser talks to its callers.
struct ChooserVariables {
    std::string SMode;   // "データ読み込み", "データ保存" or "画像読み込み"
    std::string SResult; // "OK" or "Cancel"
    std::string SDrive;
    std::string SPath;
    std::string SName;
};

inline constexpr const char* chooserModeLoad = "データ読み込み";
inline constexpr const char* chooserModeSave = "データ保存";
inline constexpr const char* chooserModePicture = "画像読み込み";
inline constexpr const char* chooserResultOk = "OK";
inline constexpr const char* chooserResultCancel = "Cancel";

// The modal chooser: initialises itself for vars.SMode, shows itself until hidden, and leaves
// its results in vars.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual void choose(ChooserVariables& vars) = 0;
};

} // namespace lm
