#include "ShowFileCommands.h"

#include "ShowFile.h"
#include "ValueCheck.h"

#include <utility>

namespace lm {

namespace {

constexpr std::string_view fileWarningTitle = "注意！！";

std::string_view labelOfField(std::size_t field) {
    switch (field) {
    case ItemTable::kindField:
        return fieldLabel::kind;
    case ItemTable::textField:
        return fieldLabel::text;
    case ItemTable::movementField:
        return fieldLabel::movement;
    case ItemTable::textColourField:
        return fieldLabel::textColour;
    case ItemTable::backColourField:
        return fieldLabel::backColour;
    case ItemTable::speedField:
        return fieldLabel::speed;
    case ItemTable::pictureField:
        return fieldLabel::picture;
    default:
        return "予備の欄";
    }
}

// The first item and field that a show file cannot hold, as a warning, or empty.
std::string firstValueProblem(const ItemTable& table) {
    for (int r = 0; r < table.count(); ++r) {
        const ItemTable::Row& row = table.row(r);
        for (std::size_t field = 0; field < row.size(); ++field) {
            if (std::string warning = valueProblemWarning(labelOfField(field), row[field]);
                !warning.empty()) {
                return std::to_string(r + 1) + "番目の項目：" + warning;
            }
        }
    }
    return {};
}

} // namespace

ShowFileCommands::ShowFileCommands(ShowList& list, std::function<void()> stopCommand,
                                   FileChooser& chooser, ChooserVariables& chooserVariables,
                                   MessageBoxes& boxes)
    : m_list(list), m_stop(std::move(stopCommand)), m_chooser(chooser), m_vars(chooserVariables),
      m_boxes(boxes) {}

bool ShowFileCommands::chooseFile(const char* mode) {
    if (m_stop) {
        m_stop();
    }
    m_vars.SMode = mode;
    m_chooser.choose(m_vars);
    if (m_vars.SResult != chooserResultOk) {
        return false;
    }
    if (m_vars.SName.empty()) {
        m_boxes.warn(std::string(emptyNameText), std::string(emptyNameTitle));
        return false;
    }
    return true;
}

bool ShowFileCommands::mnuFileLoad_Click() {
    if (!chooseFile(chooserModeLoad)) {
        return false;
    }
    // The name is used as typed: the save's extension rule does not apply to a load.
    return load(showFile::join(m_vars.SPath, m_vars.SName));
}

bool ShowFileCommands::openFile(const std::filesystem::path& path) {
    if (m_stop) {
        m_stop();
    }
    return load(path);
}

bool ShowFileCommands::handOver(const std::filesystem::path& path) {
    const std::optional<showFile::Contents> contents = read(path);
    if (!contents) {
        return false;
    }
    if (m_stop) {
        m_stop();
    }
    replaceList(*contents, path);
    return true;
}

bool ShowFileCommands::load(const std::filesystem::path& path) {
    const std::optional<showFile::Contents> contents = read(path);
    if (contents) {
        replaceList(*contents, path);
    }
    return contents.has_value();
}

std::optional<showFile::Contents> ShowFileCommands::read(const std::filesystem::path& path) {
    std::optional<showFile::Contents> contents = showFile::read(path);
    if (!contents) {
        m_boxes.warn("ファイル「" + path.string() +
                         "」を読み込めませんでした。表示のリストは変わっていません。",
                     std::string(fileWarningTitle));
    }
    return contents;
}

void ShowFileCommands::replaceList(const showFile::Contents& contents,
                                   const std::filesystem::path& path) {
    m_list.clear();
    for (const ItemTable::Row& row : contents.items) {
        m_list.appendRow(row);
    }
    if (contents.tooMany) {
        m_boxes.warn("ファイル「" + path.string() + "」には" + std::to_string(ItemTable::rowCount) +
                         "項目を超える表示があります。最初の" +
                         std::to_string(ItemTable::rowCount) +
                         "項目だけを読み込み、残りは読み込んでいません。",
                     std::string(fileWarningTitle));
    }
}

bool ShowFileCommands::mnuFileSave_Click() {
    if (!chooseFile(chooserModeSave)) {
        return false;
    }
    m_vars.SName = showFile::saveName(m_vars.SName);
    const std::filesystem::path path = showFile::join(m_vars.SPath, m_vars.SName);
    switch (showFile::write(path, m_list.table())) {
    case WriteStatus::Ok:
        return true;
    case WriteStatus::LineBreak:
    case WriteStatus::NotShiftJis:
        m_boxes.warn(firstValueProblem(m_list.table()) + "ファイル「" + path.string() +
                         "」には保存していません。",
                     std::string(fileWarningTitle));
        return false;
    case WriteStatus::IoError:
        break;
    }
    m_boxes.warn("ファイル「" + path.string() +
                     "」に保存できませんでした。フォルダーと名前を確かめて下さい。前からある"
                     "ファイルは変わっていません。",
                 std::string(fileWarningTitle));
    return false;
}

} // namespace lm
