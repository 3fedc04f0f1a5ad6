#include "DeskJson.h"

#include "ItemTable.h"
#include "OperatorDesk.h"
#include "WallCellText.h"
#include "WebChangeLog.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace lm {

namespace deskJson {

namespace {

std::string_view stateName(WallCell::State state) {
    switch (state) {
    case WallCell::State::Absent:
        return "absent";
    case WallCell::State::Idle:
        return "idle";
    case WallCell::State::Showing:
        return "showing";
    case WallCell::State::Silent:
        return "silent";
    case WallCell::State::Urgent:
        return "urgent";
    }
    return "absent";
}

std::string hexColour(const WallCellText::Rgb& rgb) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "#%02x%02x%02x", rgb.red & 0xff, rgb.green & 0xff,
                  rgb.blue & 0xff);
    return text.data();
}

// "14:03:27" on this computer's clock, as the window's cell shows when a display fell silent.
std::string localTimeOfDay(std::int64_t realUs) {
    const std::time_t seconds = static_cast<std::time_t>(realUs / 1000000);
    std::tm local{};
    localtime_r(&seconds, &local);
    std::array<char, 16> text{};
    std::strftime(text.data(), text.size(), "%H:%M:%S", &local);
    return text.data();
}

std::string utcOf(std::int64_t realUs) {
    return WebChangeLog::utcText(std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::microseconds(realUs))));
}

nlohmann::json item(const ItemTable::Row& row, int line, const std::string& description) {
    return {{"line", line},
            {"kind", row[ItemTable::kindField]},
            {"text", row[ItemTable::textField]},
            {"movement", row[ItemTable::movementField]},
            {"textColour", row[ItemTable::textColourField]},
            {"backColour", row[ItemTable::backColourField]},
            {"speed", row[ItemTable::speedField]},
            {"picture", row[ItemTable::pictureField]},
            {"description", description}};
}

} // namespace

nlohmann::json list(const OperatorDesk& desk) {
    const ShowList& shown = desk.list();
    nlohmann::json items = nlohmann::json::array();
    const std::vector<std::string>& lines = shown.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int line = static_cast<int>(i);
        items.push_back(item(shown.table().row(shown.rowOfLine(line)), line + 1, lines[i]));
    }
    return {{"items", items}, {"count", shown.count()}, {"full", shown.table().isFull()}};
}

nlohmann::json settings(const ShowSettings& settings) {
    return {{"movement", settings.movement},
            {"speed", settings.speed},
            {"displayCount", settings.displayCount},
            {"repeat", settings.repeat}};
}

nlohmann::json run(const DeskState& state) {
    return {{"showRunning", state.showRunning},
            {"showingVisible", state.showingVisible},
            {"computerCaption", state.computerCaption},
            {"lineCaption", state.lineCaption},
            {"starterStopped", state.starterStopped}};
}

nlohmann::json wall(const DeskState& state) {
    nlohmann::json cells = nlohmann::json::array();
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        const auto index = static_cast<std::size_t>(n);
        const WallCell& cell = state.cells.at(index);
        const std::string since = cell.state == WallCell::State::Silent
                                      ? localTimeOfDay(state.silentSinceUs.at(index))
                                      : std::string();
        const WallCellText shown = WallCellText::of(n, cell, since);
        cells.push_back({{"display", n},
                         {"state", stateName(cell.state)},
                         {"line", cell.line},
                         {"text", shown.text},
                         {"tip", shown.tip},
                         {"back", hexColour(shown.back)},
                         {"ink", hexColour(shown.ink)}});
    }
    return cells;
}

nlohmann::json urgent(const DeskState& state) {
    if (!state.urgent) {
        return nullptr;
    }
    const UrgentMessage& message = *state.urgent;
    return {{"text", message.text},
            {"textColour", message.textColour},
            {"backColour", message.backColour},
            {"endsAt", message.endsAtUs ? nlohmann::json(utcOf(*message.endsAtUs)) : nullptr},
            {"showing", state.reach.showing},
            {"unconfirmed", state.reach.unconfirmed},
            {"waiting", state.reach.waiting},
            {"reach", state.reach.line()}};
}

nlohmann::json plan(const DeskState& state) {
    return {{"file", std::filesystem::path(state.planFile).filename().string()},
            {"read", state.plan.has_value()},
            {"follow", state.followPlan},
            {"notice", state.notice}};
}

nlohmann::json messages(const std::vector<DeskMessage>& messages) {
    nlohmann::json list = nlohmann::json::array();
    for (const DeskMessage& message : messages) {
        list.push_back({{"text", message.text}, {"title", message.title}});
    }
    return list;
}

nlohmann::json changed(const OperatorDesk& desk, DeskChanges changes) {
    const DeskState& shown = desk.state();
    nlohmann::json parts = nlohmann::json::object();
    if (has(changes, DeskChange::List) || has(changes, DeskChange::Loaded)) {
        parts["list"] = list(desk);
    }
    if (has(changes, DeskChange::Settings)) {
        parts["settings"] = settings(shown.settings);
    }
    if (has(changes, DeskChange::Run)) {
        parts["run"] = run(shown);
    }
    if (has(changes, DeskChange::JobWrite)) {
        parts["jobWriteProblem"] = shown.jobWriteProblem;
    }
    if (has(changes, DeskChange::Wall)) {
        parts["wall"] = wall(shown);
    }
    if (has(changes, DeskChange::Urgent)) {
        parts["urgent"] = urgent(shown);
    }
    if (has(changes, DeskChange::Step)) {
        parts["step"] = shown.step;
    }
    if (has(changes, DeskChange::Plan) || has(changes, DeskChange::Notice)) {
        parts["plan"] = plan(shown);
    }
    return parts;
}

nlohmann::json state(const OperatorDesk& desk) {
    constexpr DeskChanges every = ~DeskChanges{0};
    return changed(desk, every);
}

} // namespace deskJson

} // namespace lm
