#include "ApiError.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace lm {

ApiError::ApiError(ApiErrorKind kind, const std::string& text)
    : std::runtime_error(text), m_kind(kind) {}

int httpStatus(ApiErrorKind kind) {
    switch (kind) {
    case ApiErrorKind::BadJson:
    case ApiErrorKind::BadValue:
        return 400;
    case ApiErrorKind::NotLoggedIn:
    case ApiErrorKind::WrongPassword:
        return 401;
    case ApiErrorKind::ForeignOrigin:
        return 403;
    case ApiErrorKind::NotFound:
        return 404;
    case ApiErrorKind::WrongMethod:
        return 405;
    case ApiErrorKind::Busy:
    case ApiErrorKind::NotConfirmed:
        return 409;
    case ApiErrorKind::LengthRequired:
        return 411;
    case ApiErrorKind::TooLarge:
        return 413;
    case ApiErrorKind::WrongContentType:
        return 415;
    case ApiErrorKind::Refused:
        return 422;
    case ApiErrorKind::TooManyAttempts:
        return 429;
    case ApiErrorKind::HeadersTooLarge:
        return 431;
    case ApiErrorKind::Internal:
        return 500;
    case ApiErrorKind::StreamsFull:
    case ApiErrorKind::Unavailable:
        return 503;
    }
    return 500;
}

std::string_view errorCode(ApiErrorKind kind) {
    switch (kind) {
    case ApiErrorKind::BadJson:
        return "bad_json";
    case ApiErrorKind::BadValue:
        return "bad_value";
    case ApiErrorKind::NotLoggedIn:
        return "not_logged_in";
    case ApiErrorKind::WrongPassword:
        return "wrong_password";
    case ApiErrorKind::ForeignOrigin:
        return "foreign_origin";
    case ApiErrorKind::NotFound:
        return "not_found";
    case ApiErrorKind::WrongMethod:
        return "wrong_method";
    case ApiErrorKind::LengthRequired:
        return "length_required";
    case ApiErrorKind::TooLarge:
        return "too_large";
    case ApiErrorKind::WrongContentType:
        return "wrong_content_type";
    case ApiErrorKind::HeadersTooLarge:
        return "headers_too_large";
    case ApiErrorKind::TooManyAttempts:
        return "too_many_attempts";
    case ApiErrorKind::Refused:
        return "refused";
    case ApiErrorKind::Busy:
        return "busy";
    case ApiErrorKind::NotConfirmed:
        return "not_confirmed";
    case ApiErrorKind::StreamsFull:
        return "streams_full";
    case ApiErrorKind::Unavailable:
        return "unavailable";
    case ApiErrorKind::Internal:
        return "internal";
    }
    return "internal";
}

std::string errorBody(ApiErrorKind kind, std::string_view text) {
    // Invalid UTF-8 in a text (an echoed name) is replaced rather than thrown on.
    return nlohmann::json{{"error", {{"code", errorCode(kind)}, {"text", text}}}}.dump(
        -1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void sendError(httplib::Response& response, ApiErrorKind kind, std::string_view text) {
    response.status = httpStatus(kind);
    response.set_content(errorBody(kind, text), "application/json");
    if (kind == ApiErrorKind::NotLoggedIn || kind == ApiErrorKind::WrongPassword) {
        response.set_header("WWW-Authenticate", "Bearer");
    }
}

} // namespace lm
