#include "WebRoute.h"

namespace lm {

ApiReply ApiReply::ofJson(nlohmann::json value, int status) {
    ApiReply reply;
    reply.status = status;
    reply.json = std::move(value);
    return reply;
}

ApiReply ApiReply::noContent() {
    ApiReply reply;
    reply.status = 204;
    return reply;
}

ApiReply ApiReply::ofBytes(std::string bytes, std::string contentType) {
    ApiReply reply;
    reply.bytes = std::move(bytes);
    reply.contentType = std::move(contentType);
    return reply;
}

std::string_view methodName(HttpMethod method) {
    switch (method) {
    case HttpMethod::Get:
        return "GET";
    case HttpMethod::Post:
        return "POST";
    case HttpMethod::Put:
        return "PUT";
    case HttpMethod::Patch:
        return "PATCH";
    case HttpMethod::Delete:
        return "DELETE";
    }
    return "GET";
}

bool changesState(std::string_view method) {
    return method != "GET" && method != "HEAD";
}

} // namespace lm
