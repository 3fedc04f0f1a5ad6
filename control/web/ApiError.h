#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace httplib {
struct Response;
}

namespace lm {

// Why the web API refuses a request. Each kind has one HTTP status and one code word, here and
// nowhere else, so that a route only says what went wrong.
enum class ApiErrorKind {
    BadJson,          // the body is not JSON, or not a JSON object
    BadValue,         // a field is missing, of the wrong type or out of range
    NotLoggedIn,      // no session, no token, or one that has ended
    WrongPassword,    // a log-in with the wrong password
    ForeignOrigin,    // a state-changing request from another site
    NotFound,         // no such route
    WrongMethod,      // the route is there, not with this method
    LengthRequired,   // a body without a Content-Length (chunked, or up to the end)
    TooLarge,         // the body is larger than the route takes
    WrongContentType, // a JSON route sent something else (a form, a picture)
    HeadersTooLarge,  // too many header bytes or lines
    TooManyAttempts,  // too many failed log-ins from this address
    Refused,          // the desk said no (a full list, a line that is not there)
    Busy,             // another front end holds a modal step open
    NotConfirmed,     // a command the window asks about first, sent without its answer
    StreamsFull,      // every change stream is taken
    Unavailable,      // the program is closing, or its thread did not take the command in time
    Internal,         // a fault of the program itself
};

// A refusal, thrown by a route or by the checks before it, and answered as
// {"error": {"code": "...", "text": "..."}} with the kind's status.
class ApiError : public std::runtime_error {
public:
    ApiError(ApiErrorKind kind, const std::string& text);

    ApiErrorKind kind() const { return m_kind; }

private:
    ApiErrorKind m_kind;
};

int httpStatus(ApiErrorKind kind);
std::string_view errorCode(ApiErrorKind kind);
// The JSON body of a refusal.
std::string errorBody(ApiErrorKind kind, std::string_view text);
// Sets the status, the body and the headers of a refusal on the response.
void sendError(httplib::Response& response, ApiErrorKind kind, std::string_view text);
inline void sendError(httplib::Response& response, const ApiError& error) {
    sendError(response, error.kind(), error.what());
}

} // namespace lm
