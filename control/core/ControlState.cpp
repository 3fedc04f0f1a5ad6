#include "ControlState.h"

#include "LineFile.h"
#include "PathKey.h"
#include "ReplacingFile.h"
#include "ShowFile.h"

#include <charconv>
#include <sys/stat.h>
#include <system_error>

namespace lm {

namespace {

constexpr std::string_view listA = "list-a.txt";
constexpr std::string_view listB = "list-b.txt";
constexpr std::string_view settingsName = "state.txt";
constexpr std::string_view header = "lmsign-control-state ";
constexpr int version = 1;

bool replace(const std::filesystem::path& path, std::string_view bytes) {
    ReplacingFile file(path);
    return file.write(bytes) && file.commit();
}

std::string encodeSettings(const ControlState::Settings& settings, std::string_view list,
                           int items) {
    std::string text(header);
    text += std::to_string(version) + "\n";
    text += "list=" + std::string(list) + "\n";
    text += "items=" + std::to_string(items) + "\n";
    text += "speed=" + settings.speed + "\n";
    text += "movement=" + settings.movement + "\n";
    text += std::string("repeat=") + (settings.repeat ? "1" : "0") + "\n";
    text += std::string("running=") + (settings.running ? "1" : "0") + "\n";
    // Keys a reader does not know are passed over, so older copies and programs still read.
    text += "list-file=" + settings.listFile + "\n";
    text += std::string("list-unsaved=") + (settings.listUnsaved ? "1" : "0") + "\n";
    text += "plan=" + settings.planFile + "\n";
    text += std::string("follow-plan=") + (settings.followPlan ? "1" : "0") + "\n";
    if (const std::optional<UrgentMessage>& urgent = settings.urgent) {
        text += "urgent-text=" + urgent->text + "\n";
        text += "urgent-text-colour=" + urgent->textColour + "\n";
        text += "urgent-back-colour=" + urgent->backColour + "\n";
        text += "urgent-ends=" + (urgent->endsAtUs ? std::to_string(*urgent->endsAtUs) : "") + "\n";
    }
    return text;
}

// The settings are UTF-8, one "key=value" a line.
std::optional<std::vector<std::string>> utf8Lines(const std::filesystem::path& path) {
    const std::optional<std::string> bytes = lineFile::readBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes->size()) {
        std::size_t end = bytes->find('\n', start);
        if (end == std::string::npos) {
            end = bytes->size();
        }
        std::string line = bytes->substr(start, end - start);
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The list file that the settings in the folder name, or empty.
std::string namedList(const std::filesystem::path& settingsPath) {
    const std::optional<std::vector<std::string>> lines = utf8Lines(settingsPath);
    for (const std::string& line : lines.value_or(std::vector<std::string>{})) {
        if (line.starts_with("list=")) {
            return line.substr(5);
        }
    }
    return {};
}

} // namespace

std::filesystem::path ControlState::folderFor(const std::filesystem::path& stateHome,
                                              const std::filesystem::path& workDir) {
    return stateHome / "lmsign" / pathKey(workDir);
}

ControlState::ControlState(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::optional<ControlState::Copy> ControlState::read(std::string& why) {
    m_held = true;
    const std::filesystem::path settingsPath = m_folder / settingsName;
    const std::optional<std::vector<std::string>> lines = utf8Lines(settingsPath);
    std::error_code error;
    if (!lines && !std::filesystem::exists(settingsPath, error)) {
        why = "no copy of the show list in " + m_folder.string();
        return std::nullopt;
    }
    const auto damaged = [&](const std::string& what) {
        why = "the copy of the show list in " + m_folder.string() + " is damaged (" + what +
              "); starting with an empty list";
        return std::nullopt;
    };
    if (!lines || lines->empty() || !lines->front().starts_with(header)) {
        return damaged(std::string(settingsName) + " unreadable");
    }
    int fileVersion = 0;
    const std::string_view number = std::string_view(lines->front()).substr(header.size());
    if (std::from_chars(number.data(), number.data() + number.size(), fileVersion).ec !=
        std::errc()) {
        return damaged("no version");
    }
    if (fileVersion > version) {
        why = "the copy of the show list in " + m_folder.string() +
              " was written by a newer LMControl; starting with an empty list";
        return std::nullopt;
    }
    Copy copy;
    SettingsRead read;
    for (std::size_t i = 1; i < lines->size(); ++i) {
        if (std::string damage = takeSetting((*lines)[i], copy.settings, read); !damage.empty()) {
            return damaged(damage);
        }
    }
    if (read.items < 0 || !read.repeatSeen || (read.list != listA && read.list != listB)) {
        return damaged(std::string(settingsName) + " incomplete");
    }
    const std::optional<showFile::Contents> list = showFile::read(m_folder / read.list);
    if (!list || static_cast<int>(list->items.size()) != read.items) {
        return damaged(read.list + " does not hold " + std::to_string(read.items) + " items");
    }
    copy.items = list->items;
    m_listName = read.list;
    m_held = false;
    return copy;
}

std::string ControlState::takeSetting(const std::string& line, Settings& settings,
                                      SettingsRead& read) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return {};
    }
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "list") {
        read.list = value;
    } else if (key == "items") {
        if (std::from_chars(value.data(), value.data() + value.size(), read.items).ec !=
            std::errc()) {
            return "item count";
        }
    } else if (key == "speed") {
        settings.speed = value;
    } else if (key == "movement") {
        settings.movement = value;
    } else if (key == "repeat") {
        settings.repeat = value == "1";
        read.repeatSeen = true;
    } else if (key == "running") {
        settings.running = value == "1";
    } else if (key == "list-file") {
        settings.listFile = value;
    } else if (key == "list-unsaved") {
        settings.listUnsaved = value == "1";
    } else if (key == "plan") {
        settings.planFile = value;
    } else if (key == "follow-plan") {
        settings.followPlan = value == "1";
    } else if (key.starts_with("urgent-")) {
        UrgentMessage& urgent = settings.urgent ? *settings.urgent : settings.urgent.emplace();
        if (key == "urgent-text") {
            urgent.text = value;
        } else if (key == "urgent-text-colour") {
            urgent.textColour = value;
        } else if (key == "urgent-back-colour") {
            urgent.backColour = value;
        } else if (key == "urgent-ends" && !value.empty()) {
            std::int64_t ends = 0;
            if (std::from_chars(value.data(), value.data() + value.size(), ends).ec !=
                std::errc()) {
                return "urgent message's end";
            }
            urgent.endsAtUs = ends;
        }
    }
    return {};
}

bool ControlState::write(const ItemTable& table, const Settings& settings) {
    if (m_held) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    const std::filesystem::path settingsPath = m_folder / settingsName;
    std::string list;
    if (showFile::encode(table, list) != WriteStatus::Ok) {
        std::filesystem::remove(settingsPath, error);
        m_writtenSettings.reset();
        return false;
    }
    if (m_writtenSettings && *m_writtenSettings == settings && m_writtenList == list) {
        return true;
    }
    // The settings are what makes the new list count: until they are replaced, they name the
    // list file that still holds the old one.
    if (m_listName.empty()) {
        m_listName = namedList(settingsPath);
    }
    const std::string_view next = m_listName == listA ? listB : listA;
    if (!replace(m_folder / next, list) ||
        !replace(settingsPath, encodeSettings(settings, next, table.count()))) {
        return false;
    }
    m_listName = next;
    m_writtenList = std::move(list);
    m_writtenSettings = settings;
    return true;
}

} // namespace lm
