#include "PageFiles.h"

#include "Secrets.h"

#include <memory>

namespace lm {

namespace {

// Whether an If-None-Match header names this tag (it may list several, or be "*").
bool matches(const std::string& ifNoneMatch, const std::string& tag) {
    return ifNoneMatch == "*" || ifNoneMatch.find(tag) != std::string::npos;
}

} // namespace

WebRoutes pageRoutes(std::vector<PageFile> files) {
    WebRoutes routes;
    for (PageFile& file : files) {
        // The hash of the bytes: a new build of a file is a new tag.
        const std::string tag = "\"" + secrets::sha256Hex(file.bytes).substr(0, 32) + "\"";
        auto shared = std::make_shared<const PageFile>(std::move(file));
        // Routes are patterns: a dot stands for itself.
        std::string pattern;
        for (const char c : shared->path) {
            pattern += c == '.' ? std::string("\\.") : std::string(1, c);
        }
        routes.push_back({HttpMethod::Get, pattern, RequestBody::None, Access::Anyone,
                          [shared, tag](const ApiRequest& request) {
                              const auto asked = request.headers.find("if-none-match");
                              ApiReply reply;
                              if (asked != request.headers.end() && matches(asked->second, tag)) {
                                  reply.status = 304;
                              } else {
                                  reply = ApiReply::ofBytes(shared->bytes, shared->contentType);
                              }
                              reply.headers = {{"Content-Security-Policy", pagePolicy},
                                               {"Cache-Control", "no-cache"},
                                               {"ETag", tag}};
                              return reply;
                          }});
    }
    return routes;
}

} // namespace lm
