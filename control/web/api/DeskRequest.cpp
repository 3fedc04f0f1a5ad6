#include "DeskRequest.h"

#include "ApiError.h"
#include "FileNameRule.h"
#include "JsonBody.h"
#include "Vocabulary.h"

#include <algorithm>

namespace lm {

namespace deskRequest {

void refuseOthers(const nlohmann::json& body, std::initializer_list<std::string_view> known) {
    for (const auto& [name, value] : body.items()) {
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            throw ApiError(ApiErrorKind::BadValue, "\"" + name + "\" is not a field here");
        }
    }
}

ItemEntry entry(const nlohmann::json& body, const std::filesystem::path& exchangeFolder) {
    refuseOthers(body, {"text", "movement", "textColour", "backColour", "speed", "picture"});
    ItemEntry entry;
    entry.text = jsonBody::optionalString(body, "text").value_or("");
    entry.movement =
        jsonBody::optionalString(body, "movement").value_or(std::string(vocabulary::moveStill));
    entry.textColour = jsonBody::optionalString(body, "textColour")
                           .value_or(std::string(vocabulary::defaultTextColour));
    entry.backColour = jsonBody::optionalString(body, "backColour")
                           .value_or(std::string(vocabulary::defaultBackColour));
    entry.speed =
        jsonBody::optionalString(body, "speed").value_or(std::string(vocabulary::defaultSpeed));
    if (body.contains("picture") && !body.at("picture").is_null()) {
        const std::string name = bareFileName(body, "picture");
        entry.picturePath = (exchangeFolder / name).string();
    }
    return entry;
}

ShowSettings settings(const nlohmann::json& body, ShowSettings current) {
    refuseOthers(body, {"movement", "speed", "displayCount", "repeat"});
    current.movement = jsonBody::optionalString(body, "movement").value_or(current.movement);
    current.speed = jsonBody::optionalString(body, "speed").value_or(current.speed);
    current.displayCount =
        jsonBody::optionalString(body, "displayCount").value_or(current.displayCount);
    current.repeat = jsonBody::optionalBool(body, "repeat").value_or(current.repeat);
    return current;
}

Urgent urgent(const nlohmann::json& body) {
    refuseOthers(body, {"text", "textColour", "backColour", "minutes"});
    Urgent urgent;
    urgent.message.text = jsonBody::requireString(body, "text");
    urgent.message.textColour = jsonBody::optionalString(body, "textColour")
                                    .value_or(std::string(UrgentMessage::defaultTextColour));
    urgent.message.backColour = jsonBody::optionalString(body, "backColour")
                                    .value_or(std::string(UrgentMessage::defaultBackColour));
    const std::int64_t minutes = jsonBody::requireInteger(body, "minutes", 0, 15);
    if (std::find(urgentMinutes.begin(), urgentMinutes.end(), minutes) == urgentMinutes.end()) {
        throw ApiError(ApiErrorKind::BadValue,
                       "\"minutes\" is 1, 5, 15 or 0 (until it is ended), as the window offers");
    }
    urgent.minutes = static_cast<int>(minutes);
    return urgent;
}

int line(std::string_view text) {
    // Three digits at most: the list has 101 lines, and a longer number would overflow.
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string_view::npos) {
        throw ApiError(ApiErrorKind::BadValue, "the line is a number from 1");
    }
    const int number = std::stoi(std::string(text));
    if (number < 1) {
        throw ApiError(ApiErrorKind::BadValue, "the line is a number from 1");
    }
    return number - 1;
}

std::string bareFileName(const nlohmann::json& body, std::string_view field) {
    std::string name = jsonBody::requireString(body, field);
    if (const std::string problem = fileNameRule::problem(name); !problem.empty()) {
        throw ApiError(ApiErrorKind::BadValue, "\"" + std::string(field) + "\": " + problem);
    }
    return name;
}

} // namespace deskRequest

} // namespace lm
