#pragma once

#include "UiCalls.h"

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lm {

enum class HttpMethod { Get, Post, Put, Patch, Delete };

// What a route reads from the body; the server checks the size (JSON 1 MB, pictures 20 MB),
// the type and, for JSON, that it is an object, before the route runs.
enum class RequestBody { None, Json, Picture };

// Who may call a route: someone logged in (a session or a token), or anyone (the page's files).
enum class Access { LoggedIn, Anyone };

// A request as a route sees it, checked already.
struct ApiRequest {
    std::string method;
    std::string path;
    std::vector<std::string> pathParts; // the pattern's groups, in order
    std::multimap<std::string, std::string> query;
    nlohmann::json json = nlohmann::json::object(); // RequestBody::Json
    std::string_view bytes;                         // RequestBody::Picture
    std::string contentType;
    // Every header line by its name in lower case (the last of a repeated one).
    std::map<std::string, std::string> headers;
    std::string address;
    std::string who; // "token NAME" or "session 1a2b3c4d"; empty for Access::Anyone
    UiCalls* ui = nullptr;

    // Runs fn on the desk's thread and returns its result (UiCalls::run): every use of the
    // desk goes through here, never straight from the route.
    template <typename F> auto onDesk(F&& fn) const { return ui->run(std::forward<F>(fn)); }
};

// A route's answer. A refusal is thrown as an ApiError instead.
struct ApiReply {
    int status = 200;
    nlohmann::json json;
    // Sent instead of the JSON when contentType is set.
    std::string bytes;
    std::string contentType;
    // What the change log says was changed; empty: the method and path.
    std::string changed;
    // Header lines of the answer, each in place of the server's default of that name.
    std::vector<std::pair<std::string, std::string>> headers;

    static ApiReply ofJson(nlohmann::json value, int status = 200);
    static ApiReply noContent();
    static ApiReply ofBytes(std::string bytes, std::string contentType);
};

struct WebRoute {
    HttpMethod method = HttpMethod::Get;
    // A regular expression for the whole path; its groups become ApiRequest::pathParts.
    std::string pattern;
    RequestBody body = RequestBody::None;
    Access access = Access::LoggedIn;
    std::function<ApiReply(const ApiRequest&)> handler;
};

using WebRoutes = std::vector<WebRoute>;

std::string_view methodName(HttpMethod method);
// GET (and HEAD) read; the others change, and are checked for their origin and logged.
bool changesState(std::string_view method);

} // namespace lm
