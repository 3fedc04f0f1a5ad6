#pragma once

#include "WebRoute.h"

#include <string>
#include <vector>

namespace lm {

// One file of the browser page, as the program serves it.
struct PageFile {
    std::string path; // "/" for the page itself, "/page.js", ...
    std::string contentType;
    std::string bytes;
};

// The routes that serve the page's files to anyone: they hold no secret, and everything the
// page does through the API needs a log-in. Each answer says that only this server's own
// files may run or be shown in the page (Content-Security-Policy), and carries an ETag that
// the browser must check before it uses its copy, so that after an upgrade no file of the
// old page is kept beside a new one.
WebRoutes pageRoutes(std::vector<PageFile> files);

// The Content-Security-Policy of the page.
inline constexpr const char* pagePolicy =
    "default-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'; "
    "object-src 'none'";

} // namespace lm
