#pragma once

#include "DeskState.h"
#include "ShowList.h"
#include "UrgentMessage.h"

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace lm {

// What the web API's request bodies ask of the desk, read into the desk's own values. Each
// refusal is an ApiError (bad_value) that names the field; a field the route does not know is
// refused too, so that a misspelt one is not quietly ignored. The values themselves are
// checked by the desk, with the window's words.
namespace deskRequest {

// The minutes the urgent message's dialog offers; 0: until it is ended.
inline constexpr std::initializer_list<int> urgentMinutes{1, 5, 15, 0};

struct Urgent {
    UrgentMessage message;
    int minutes = 0;
};

// An item as the entry controls give it; `picture` is a bare name in the Exchange folder,
// which `exchangeFolder` turns into the path the desk copies from (the file itself).
ItemEntry entry(const nlohmann::json& body, const std::filesystem::path& exchangeFolder);
// The settings a show runs with; a field left out keeps its value in `current`.
ShowSettings settings(const nlohmann::json& body, ShowSettings current);
Urgent urgent(const nlohmann::json& body);
// A list line in a path, from 1: the desk's line (from 0).
int line(std::string_view text);
// A bare file name: no folder, no "..", no control character.
std::string bareFileName(const nlohmann::json& body, std::string_view field);
void refuseOthers(const nlohmann::json& body, std::initializer_list<std::string_view> known);

} // namespace deskRequest

} // namespace lm
