#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace lm {

// The checks of a JSON request body and the fields a route reads from it. Each refusal is an
// ApiError whose text names the field, so a script's author sees what to fix.
namespace jsonBody {

// The request's body as a JSON object: TooLarge past `limit` bytes, WrongContentType unless it
// says application/json, BadJson when it is not JSON, nests deeper than 32 levels or is not an
// object.
nlohmann::json parse(const httplib::Request& request, std::size_t limit);
nlohmann::json parse(std::string_view body, std::size_t limit);

// A field that must be there, of that type. Integers must also lie within [min, max].
std::string requireString(const nlohmann::json& object, std::string_view name);
std::int64_t requireInteger(const nlohmann::json& object, std::string_view name, std::int64_t min,
                            std::int64_t max);
bool requireBool(const nlohmann::json& object, std::string_view name);
// A field that may be left out (or null); when there, of that type.
std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view name);
std::optional<std::int64_t> optionalInteger(const nlohmann::json& object, std::string_view name,
                                            std::int64_t min, std::int64_t max);
std::optional<bool> optionalBool(const nlohmann::json& object, std::string_view name);

// The text of a JSON value; bytes that are not UTF-8 (a name from a show file) are replaced.
std::string dump(const nlohmann::json& value);
void send(httplib::Response& response, const nlohmann::json& value, int status = 200);

} // namespace jsonBody

} // namespace lm
