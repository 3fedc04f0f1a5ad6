#pragma once

#include "ItemTable.h"
#include "UrgentMessage.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

// The copy of the control window's show list and settings that `LMControl --resume` starts
// from after a power cut, a crash or a shutdown. It lives in the program's own state folder,
// never in the Exchange folder: the list as a show file, the settings beside it ("state.txt",
// UTF-8 "key=value" lines). The list goes into whichever of "list-a.txt" and "list-b.txt" the
// settings do not name, then the settings, replaced whole, name it: a power cut at any moment
// leaves the old copy or the new one, never a mix.
class ControlState {
public:
    struct Settings {
        std::string speed;    // ComboTSpeed
        std::string movement; // ComboTMove
        bool repeat = true;   // Check1
        // A show was started and the operator has not stopped it: --resume starts it again.
        bool running = false;
        // The urgent message that runs: --resume sends it again for what is left of its time.
        std::optional<UrgentMessage> urgent;
        // The show file the list came from or went to, and whether it was changed since.
        std::string listFile;
        bool listUnsaved = false;
        // The week plan's file and "予定に従う": after a restart the plan decides what runs.
        std::string planFile;
        bool followPlan = false;
        friend bool operator==(const Settings&, const Settings&) = default;
    };
    struct Copy {
        std::vector<ItemTable::Row> items;
        Settings settings;
    };

    // The state folder of the control program working in workDir: one per working folder, under
    // stateHome (XDG_STATE_HOME, ~/.local/state by default).
    static std::filesystem::path folderFor(const std::filesystem::path& stateHome,
                                           const std::filesystem::path& workDir);

    explicit ControlState(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return m_folder; }

    // The copy; nothing when there is none, it is damaged or a newer program wrote it. Then
    // `why` says so in one line, and write() leaves a copy that is there alone until
    // listChanged() is called: a copy that could not be read is not lost to a mere setting.
    std::optional<Copy> read(std::string& why);

    // The list changed: the copy is written from now on.
    void listChanged() { m_held = false; }
    // Replaces the copy, unless it holds the same already. False when it could not be written; a
    // list whose values a show file cannot hold is not kept at all, since a show of it could never
    // start.
    bool write(const ItemTable& table, const Settings& settings);

private:
    // What the settings say of the list file beside them.
    struct SettingsRead {
        std::string list;
        int items = -1;
        bool repeatSeen = false;
    };
    // Takes one "key=value" line of the settings; what is damaged, or empty.
    static std::string takeSetting(const std::string& line, Settings& settings, SettingsRead& read);

    std::filesystem::path m_folder;
    std::string m_listName; // the list file the settings name
    bool m_held = false;
    // What the copy holds since this program wrote it: the same again is not written, so that
    // a command that was refused writes nothing.
    std::string m_writtenList;
    std::optional<Settings> m_writtenSettings;
};

} // namespace lm
