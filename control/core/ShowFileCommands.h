#pragma once

#include "FileChooser.h"
#include "MessageBoxes.h"
#include "ShowFile.h"
#include "ShowList.h"

#include <functional>
#include <string_view>

namespace lm {

// The file commands of the control window: load a show file into the show list, save the show
// list into a show file. Both run the stop command first, whatever the operator does next, and
// get the folder and name from the file chooser.
class ShowFileCommands {
public:
    static constexpr std::string_view emptyNameText = "ファイル名を正しく入力して下さい";
    static constexpr std::string_view emptyNameTitle = "注意！！";

    // stopCommand is the window's cmdStop_Click; chooserVariables are SMode ... SName, shared
    // with the picture choice.
    ShowFileCommands(ShowList& list, std::function<void()> stopCommand, FileChooser& chooser,
                     ChooserVariables& chooserVariables, MessageBoxes& boxes);

    // "読み込み" / "表示のリスト  ﾌｧｲﾙ読み込み". True when the show list was replaced: the window
    // then fills List1 from the list's lines and clears the picture choice. A file that cannot
    // be read leaves the list as it was and is reported.
    bool mnuFileLoad_Click();
    // A show file named on the command line: the stop, then the load as "読み込み" does it,
    // with the same warnings.
    bool openFile(const std::filesystem::path& path);
    // A show file handed over by a second start: read before anything stops, so that a file
    // that cannot be loaded leaves the show that runs as it is. The same warnings.
    bool handOver(const std::filesystem::path& path);

    // "保存" / "表示のリストﾌｧｲﾙ保存". True when the file was written. The name gets ".txt" by
    // the save rule and is stored back into SName. A failed save leaves any previous file as it
    // was and is reported.
    bool mnuFileSave_Click();

private:
    // Stops, runs the chooser in the given mode; true when it returned OK with a name.
    bool chooseFile(const char* mode);
    bool load(const std::filesystem::path& path);
    // The contents of the show file, or nothing after the warning that says it cannot be read.
    std::optional<showFile::Contents> read(const std::filesystem::path& path);
    void replaceList(const showFile::Contents& contents, const std::filesystem::path& path);

    ShowList& m_list;
    std::function<void()> m_stop;
    FileChooser& m_chooser;
    ChooserVariables& m_vars;
    MessageBoxes& m_boxes;
};

} // namespace lm
