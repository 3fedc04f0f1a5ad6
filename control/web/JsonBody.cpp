#include "JsonBody.h"

#include "ApiError.h"

#include <httplib.h>

namespace lm::jsonBody {

namespace {

constexpr int deepest = 32;

// The value of a field that is there and not null, or nothing.
const nlohmann::json* field(const nlohmann::json& object, std::string_view name) {
    const auto it = object.find(name);
    if (it == object.end() || it->is_null()) {
        return nullptr;
    }
    return &*it;
}

[[noreturn]] void wrongType(std::string_view name, std::string_view type) {
    throw ApiError(ApiErrorKind::BadValue,
                   "\"" + std::string(name) + "\" must be " + std::string(type));
}

[[noreturn]] void missing(std::string_view name) {
    throw ApiError(ApiErrorKind::BadValue, "\"" + std::string(name) + "\" is missing");
}

std::int64_t integerIn(const nlohmann::json& value, std::string_view name, std::int64_t min,
                       std::int64_t max) {
    if (!value.is_number_integer()) {
        wrongType(name, "a whole number");
    }
    // A huge unsigned number must not wrap into the range.
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
        wrongType(name,
                  "a whole number from " + std::to_string(min) + " to " + std::to_string(max));
    }
    const auto number = value.get<std::int64_t>();
    if (number < min || number > max) {
        throw ApiError(ApiErrorKind::BadValue, "\"" + std::string(name) + "\" must be from " +
                                                   std::to_string(min) + " to " +
                                                   std::to_string(max));
    }
    return number;
}

} // namespace

nlohmann::json parse(const httplib::Request& request, std::size_t limit) {
    const std::string type = request.get_header_value("Content-Type");
    // A form or a plain-text post, which a page of another site may send without asking, is
    // not taken for JSON.
    const std::string_view mediaType = std::string_view(type).substr(0, type.find(';'));
    if (mediaType != "application/json") {
        throw ApiError(ApiErrorKind::WrongContentType, "the body must be application/json");
    }
    return parse(request.body, limit);
}

nlohmann::json parse(std::string_view body, std::size_t limit) {
    if (body.size() > limit) {
        throw ApiError(ApiErrorKind::TooLarge,
                       "the body is larger than " + std::to_string(limit) + " bytes");
    }
    nlohmann::json value;
    try {
        value = nlohmann::json::parse(
            body, [](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
                if (depth > deepest) {
                    throw ApiError(ApiErrorKind::BadJson, "the JSON nests too deep");
                }
                return true;
            });
    } catch (const nlohmann::json::exception& error) {
        throw ApiError(ApiErrorKind::BadJson, std::string("the body is not JSON: ") + error.what());
    }
    if (!value.is_object()) {
        throw ApiError(ApiErrorKind::BadJson, "the body must be a JSON object");
    }
    return value;
}

std::string requireString(const nlohmann::json& object, std::string_view name) {
    const std::optional<std::string> value = optionalString(object, name);
    if (!value) {
        missing(name);
    }
    return *value;
}

std::int64_t requireInteger(const nlohmann::json& object, std::string_view name, std::int64_t min,
                            std::int64_t max) {
    const std::optional<std::int64_t> value = optionalInteger(object, name, min, max);
    if (!value) {
        missing(name);
    }
    return *value;
}

bool requireBool(const nlohmann::json& object, std::string_view name) {
    const std::optional<bool> value = optionalBool(object, name);
    if (!value) {
        missing(name);
    }
    return *value;
}

std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view name) {
    const nlohmann::json* value = field(object, name);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!value->is_string()) {
        wrongType(name, "a string");
    }
    return value->get<std::string>();
}

std::optional<std::int64_t> optionalInteger(const nlohmann::json& object, std::string_view name,
                                            std::int64_t min, std::int64_t max) {
    const nlohmann::json* value = field(object, name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return integerIn(*value, name, min, max);
}

std::optional<bool> optionalBool(const nlohmann::json& object, std::string_view name) {
    const nlohmann::json* value = field(object, name);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!value->is_boolean()) {
        wrongType(name, "true or false");
    }
    return value->get<bool>();
}

std::string dump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void send(httplib::Response& response, const nlohmann::json& value, int status) {
    response.status = status;
    response.set_content(dump(value), "application/json");
}

} // namespace lm::jsonBody
