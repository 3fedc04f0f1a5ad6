#include "WebServer.h"

#include "ApiError.h"
#include "ConnectionQueue.h"
#include "JsonBody.h"
#include "LoginThrottle.h"
#include "PasswordHash.h"
#include "PrivateFiles.h"
#include "Secrets.h"
#include "SessionStore.h"
#include "TlsConnections.h"
#include "WebChangeLog.h"
#include "WebSettingsStore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <future>
#include <httplib.h>
#include <mutex>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <regex>
#include <sys/socket.h>
#include <thread>

namespace lm {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* loginPath = "/api/login";
constexpr const char* logoutPath = "/api/logout";
constexpr const char* sessionPath = "/api/session";
constexpr const char* eventsPath = "/api/events";

// A route as the checks before it see it: the program's routes and the built-in ones.
struct RouteRule {
    std::string method;
    std::regex pattern;
    RequestBody body = RequestBody::None;
    Access access = Access::LoggedIn;
};

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of one cookie among every Cookie header's.
std::string cookieValue(const httplib::Request& request, std::string_view name) {
    const std::size_t headers = request.get_header_value_count("Cookie");
    for (std::size_t i = 0; i < headers; ++i) {
        const std::string line = request.get_header_value("Cookie", i);
        std::string_view rest = line;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(';'), rest.size());
            const std::string_view pair = trimmed(rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
            const std::size_t equals = pair.find('=');
            if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
                return std::string(pair.substr(equals + 1));
            }
        }
    }
    return {};
}

ApiErrorKind kindOfStatus(int status) {
    switch (status) {
    case 404:
        return ApiErrorKind::NotFound;
    case 413:
        return ApiErrorKind::TooLarge;
    case 414:
    case 431:
        return ApiErrorKind::HeadersTooLarge;
    case 503:
        return ApiErrorKind::Unavailable;
    default:
        return status >= 500 ? ApiErrorKind::Internal : ApiErrorKind::BadValue;
    }
}

void writeReply(httplib::Response& response, const ApiReply& reply) {
    response.status = reply.status;
    for (const auto& [name, value] : reply.headers) {
        response.headers.erase(name);
        response.set_header(name, value);
    }
    if (reply.status == 204 || reply.status == 304) {
        return;
    }
    if (!reply.contentType.empty()) {
        response.set_content(reply.bytes, reply.contentType);
    } else {
        response.set_content(
            jsonBody::dump(reply.json.is_null() ? nlohmann::json::object() : reply.json),
            "application/json");
    }
}

struct FreeSsl {
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// Loads the pair and its chain into the context; false when OpenSSL refuses any of them.
bool useIdentity(SSL_CTX& context, const TlsIdentity& identity) {
    const std::unique_ptr<BIO, FreeSsl> certificates(BIO_new_mem_buf(
        identity.certificatePem.data(), static_cast<int>(identity.certificatePem.size())));
    const std::unique_ptr<BIO, FreeSsl> keyText(BIO_new_mem_buf(
        identity.privateKeyPem.data(), static_cast<int>(identity.privateKeyPem.size())));
    const std::unique_ptr<X509, FreeSsl> leaf(
        PEM_read_bio_X509(certificates.get(), nullptr, nullptr, nullptr));
    // An empty pass phrase rather than OpenSSL's prompt on the terminal.
    const std::unique_ptr<EVP_PKEY, FreeSsl> key(
        PEM_read_bio_PrivateKey(keyText.get(), nullptr, nullptr, const_cast<char*>("")));
    if (!leaf || !key || SSL_CTX_use_certificate(&context, leaf.get()) != 1 ||
        SSL_CTX_use_PrivateKey(&context, key.get()) != 1 ||
        SSL_CTX_check_private_key(&context) != 1) {
        ERR_clear_error();
        return false;
    }
    while (X509* chain = PEM_read_bio_X509(certificates.get(), nullptr, nullptr, nullptr)) {
        // add0: the context takes it over.
        if (SSL_CTX_add0_chain_cert(&context, chain) != 1) {
            X509_free(chain);
        }
    }
    ERR_clear_error();
    SSL_CTX_set_min_proto_version(&context, TLS1_2_VERSION);
    SSL_CTX_set_options(&context, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION |
                                      SSL_OP_CIPHER_SERVER_PREFERENCE);
    return true;
}

// A refusal decided before a request's body was read, answered once cpp-httplib has read it
// (by the route's handler, or by the error handler when no route takes the request): a
// connection closed on an unread body is reset, and the client might never see the answer.
// The checks, the reading and the handlers of one request run on one thread, one after
// another.
thread_local std::optional<ApiError> deferredRefusal;

bool answerDeferred(httplib::Response& response) {
    if (!deferredRefusal) {
        return false;
    }
    sendError(response, *deferredRefusal);
    deferredRefusal.reset();
    return true;
}

// A cpp-httplib server whose listening socket can be reached: the library listens with a
// backlog of 5, built in, and a burst of clients (browsers reconnecting their streams after a
// restart) would see their connections dropped and retried seconds later.
template <typename Base> class Listener : public Base {
public:
    using Base::Base;
    // listen() again on a listening socket changes its backlog (Linux).
    void widenBacklog(int backlog) { ::listen(this->svr_sock_, backlog); }
};

} // namespace

// What outlives one start: the routes, the sessions, the throttle, the hub, the desk's calls.
struct WebServer::Core {
    Core(WebRoutes table, Services given)
        : routes(std::move(table)), services(std::move(given)),
          ui(services.post, services.deskTimeout) {
        ui.close();
        for (const WebRoute& route : routes) {
            rules.push_back({std::string(methodName(route.method)), std::regex(route.pattern),
                             route.body, route.access});
        }
        rules.push_back({"POST", std::regex(loginPath), RequestBody::Json, Access::Anyone});
        rules.push_back({"POST", std::regex(logoutPath), RequestBody::None, Access::LoggedIn});
        rules.push_back({"GET", std::regex(sessionPath), RequestBody::None, Access::LoggedIn});
        rules.push_back({"GET", std::regex(eventsPath), RequestBody::None, Access::LoggedIn});
        restoreSessions();
    }

    // The sessions are kept between runs, so that a browser stays logged in across a restart of
    // the program: saved at each log-in and log-out, after use at most once a minute (what an
    // idle limit of minutes needs), and when the server stops.
    std::filesystem::path sessionsFile() const {
        return services.settings ? services.settings->folder() / "sessions"
                                 : std::filesystem::path();
    }
    void restoreSessions() {
        std::string why;
        const std::filesystem::path file = sessionsFile();
        if (const std::optional<std::string> text =
                file.empty() ? std::nullopt : privateFiles::read(file, why)) {
            sessions.restore(*text, Clock::now(), std::chrono::system_clock::now());
        }
    }
    // With the mutex held.
    void saveSessions(bool whenDue) {
        const Clock::time_point now = Clock::now();
        const std::filesystem::path file = sessionsFile();
        if (file.empty() || (whenDue && now - sessionsSavedAt < std::chrono::minutes(1))) {
            return;
        }
        sessionsSavedAt = now;
        std::string why;
        if (!privateFiles::write(file, sessions.saved(now, std::chrono::system_clock::now()),
                                 why)) {
            std::fprintf(stderr, "LMControl: the web sessions are not kept: %s\n", why.c_str());
        }
    }

    WebRoutes routes;
    Services services;
    std::vector<RouteRule> rules; // the routes', then the built-in ones
    EventHub hub;
    UiCalls ui;

    std::mutex mutex; // sessions and throttle
    SessionStore sessions;
    Clock::time_point sessionsSavedAt{};
    LoginThrottle throttle;
};

// One start: the cpp-httplib server, its thread and what it needs to stop at once.
class WebServer::Run : public std::enable_shared_from_this<Run> {
public:
    Run(std::shared_ptr<Core> core, Options options)
        : m_core(std::move(core)), m_options(std::move(options)),
          m_gate(std::make_shared<ConnectionQueue::Gate>()),
          m_tls(std::make_shared<TlsConnections>()), m_ended(m_endedPromise.get_future()) {}

    bool listen(std::string& why);
    // Takes no more connections and ends the open ones (those cpp-httplib lets us reach).
    void halt();
    // Waits for the server's threads up to Limits::stopWait.
    void finish();
    int port() const { return m_port; }

private:
    struct Caller {
        std::string who;
        std::string cookie; // a session's, else empty
    };

    void configure();
    // Threads, time-outs, sizes and the headers every answer carries.
    void setLimits();
    void registerRoutes();
    httplib::Server::HandlerResponse screen(const httplib::Request& request,
                                            httplib::Response& response);
    const RouteRule& ruleFor(const httplib::Request& request) const;
    void checkHeaders(const httplib::Request& request) const;
    void checkOrigin(const httplib::Request& request) const;
    void checkLength(const httplib::Request& request, const RouteRule& rule) const;
    std::optional<Caller> authenticate(const httplib::Request& request);

    void serve(std::size_t index, const httplib::Request& request, httplib::Response& response);
    void login(const httplib::Request& request, httplib::Response& response);
    void logout(const httplib::Request& request, httplib::Response& response);
    void session(const httplib::Request& request, httplib::Response& response);
    void events(const httplib::Request& request, httplib::Response& response);

    std::size_t payloadLimit() const {
        const Limits& limits = m_options.limits;
        return std::max({limits.jsonBody, limits.pictureBody, limits.otherBody});
    }
    std::string cookieName() const { return m_options.plainHttp ? "lmsign" : "__Host-lmsign"; }
    std::string cookieText(const std::string& value, bool ending) const;
    void record(const httplib::Request& request, const std::string& who, const std::string& what,
                int status) const;

    std::shared_ptr<Core> m_core;
    Options m_options;
    std::shared_ptr<httplib::Server> m_server;
    std::shared_ptr<ConnectionQueue::Gate> m_gate;
    std::shared_ptr<TlsConnections> m_tls;
    std::thread m_thread;
    std::promise<void> m_endedPromise;
    std::future<void> m_ended;
    int m_port = 0;
};

bool WebServer::Run::listen(std::string& why) {
    std::function<void(int)> widenBacklog;
    if (m_options.plainHttp) {
        auto server = std::make_shared<Listener<httplib::Server>>();
        widenBacklog = [server](int backlog) {
            server->widenBacklog(backlog);
        };
        m_server = server;
    } else {
        const TlsIdentity& identity = m_options.tls;
        const std::shared_ptr<TlsConnections> tls = m_tls;
        auto server =
            std::make_shared<Listener<httplib::SSLServer>>([&identity, tls](SSL_CTX& context) {
                if (!useIdentity(context, identity)) {
                    return false;
                }
                TlsConnections::watch(&context, tls);
                return true;
            });
        widenBacklog = [server](int backlog) {
            server->widenBacklog(backlog);
        };
        m_server = server;
    }
    if (!m_server->is_valid()) {
        why = "the certificate or its key cannot be used";
        return false;
    }
    configure();
    const std::string& address = m_options.address;
    m_port = m_options.port == 0
                 ? m_server->bind_to_any_port(address)
                 : (m_server->bind_to_port(address, m_options.port) ? m_options.port : -1);
    if (m_port <= 0) {
        why = "cannot listen on " + address + " port " + std::to_string(m_options.port) +
              " (taken by another program, or not an address of this computer)";
        m_port = 0;
        return false;
    }
    widenBacklog(static_cast<int>(m_options.limits.backlog));
    // The thread holds the run: a thread still serving a slow client after stop() keeps what
    // it uses.
    m_thread = std::thread([this, self = shared_from_this()] {
        m_server->listen_after_bind();
        m_endedPromise.set_value();
    });
    // cpp-httplib's stop() does nothing before its loop has begun.
    while (!m_server->is_running()) {
        if (m_ended.wait_for(std::chrono::milliseconds(1)) == std::future_status::ready) {
            m_thread.join();
            why = "the server stopped as it started";
            return false;
        }
    }
    return true;
}

void WebServer::Run::halt() {
    m_server->stop();
    m_tls->shutAll();
    m_gate->release();
}

void WebServer::Run::finish() {
    if (m_ended.wait_for(m_options.limits.stopWait) == std::future_status::ready) {
        m_thread.join();
    } else {
        m_thread.detach();
    }
}

void WebServer::Run::setLimits() {
    httplib::Server& server = *m_server;
    const Limits& limits = m_options.limits;
    const std::size_t threads = limits.streams + limits.commandThreads;
    server.new_task_queue = [threads, waiting = limits.waitingConnections, gate = m_gate] {
        return new ConnectionQueue(threads, waiting, gate);
    };
    // SO_REUSEADDR without cpp-httplib's SO_REUSEPORT: no other program may share the port.
    server.set_socket_options([](socket_t socket) {
        int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_tcp_nodelay(true);
    server.set_read_timeout(limits.readTimeout);
    server.set_write_timeout(limits.writeTimeout);
    server.set_keep_alive_timeout(limits.keepAlive.count());
    server.set_keep_alive_max_count(100);
    server.set_payload_max_length(payloadLimit());
    server.set_default_headers({{"Cache-Control", "no-store"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"X-Frame-Options", "DENY"},
                                {"Referrer-Policy", "no-referrer"}});
}

void WebServer::Run::configure() {
    setLimits();
    httplib::Server& server = *m_server;
    server.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            return screen(request, response);
        });
    // cpp-httplib's own refusals (a request it cannot parse, a body over the payload limit)
    // come without a body: they get the JSON form too.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            // No route took a request refused before its body: the refusal, not "not found".
            if (answerDeferred(response)) {
                return httplib::Server::HandlerResponse::Handled;
            }
            if (!response.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            const ApiErrorKind kind = kindOfStatus(response.status);
            response.set_content(
                errorBody(kind, "refused (HTTP " + std::to_string(response.status) + ")"),
                "application/json");
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            sendError(response, ApiErrorKind::Internal, "the program failed on this request");
        });
    registerRoutes();
}

void WebServer::Run::registerRoutes() {
    httplib::Server& server = *m_server;
    for (std::size_t i = 0; i < m_core->routes.size(); ++i) {
        const WebRoute& route = m_core->routes[i];
        const httplib::Server::Handler handler = [this, i](const httplib::Request& request,
                                                           httplib::Response& response) {
            serve(i, request, response);
        };
        switch (route.method) {
        case HttpMethod::Get:
            server.Get(route.pattern, handler);
            break;
        case HttpMethod::Post:
            server.Post(route.pattern, handler);
            break;
        case HttpMethod::Put:
            server.Put(route.pattern, handler);
            break;
        case HttpMethod::Patch:
            server.Patch(route.pattern, handler);
            break;
        case HttpMethod::Delete:
            server.Delete(route.pattern, handler);
            break;
        }
    }
    server.Post(loginPath, [this](const httplib::Request& request, httplib::Response& response) {
        login(request, response);
    });
    server.Post(logoutPath, [this](const httplib::Request& request, httplib::Response& response) {
        logout(request, response);
    });
    server.Get(sessionPath, [this](const httplib::Request& request, httplib::Response& response) {
        session(request, response);
    });
    server.Get(eventsPath, [this](const httplib::Request& request, httplib::Response& response) {
        events(request, response);
    });
}

// Everything that can be refused before the body is read: a stranger's request never reaches
// a route, and the password is never checked for an address that is locked out.
httplib::Server::HandlerResponse WebServer::Run::screen(const httplib::Request& request,
                                                        httplib::Response& response) {
    deferredRefusal.reset();
    std::optional<ApiError> refusal;
    try {
        checkHeaders(request);
        const RouteRule& rule = ruleFor(request);
        if (changesState(request.method)) {
            checkOrigin(request);
        }
        if (rule.access == Access::LoggedIn && !authenticate(request)) {
            throw ApiError(ApiErrorKind::NotLoggedIn,
                           "log in first, or send an API token (Authorization: Bearer)");
        }
        checkLength(request, rule);
        if (request.path == loginPath) {
            std::chrono::seconds wait{};
            {
                const std::lock_guard lock(m_core->mutex);
                wait = m_core->throttle.wait(request.remote_addr, Clock::now());
            }
            if (wait.count() > 0) {
                response.set_header("Retry-After", std::to_string(wait.count()));
                throw ApiError(ApiErrorKind::TooManyAttempts,
                               "too many failed log-ins from this address; wait " +
                                   std::to_string(wait.count()) + " s");
            }
        }
    } catch (const ApiError& error) {
        refusal = error;
    }
    if (!refusal) {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    // A body cpp-httplib will read (a Content-Length within its limit): read it, then refuse.
    const auto length = request.get_header_value<std::uint64_t>("Content-Length");
    const bool readable = changesState(request.method) && !request.has_header("Transfer-Encoding");
    if (readable && length > 0 && length <= payloadLimit()) {
        deferredRefusal = *refusal;
        return httplib::Server::HandlerResponse::Unhandled;
    }
    sendError(response, *refusal);
    if (length > 0 || request.has_header("Transfer-Encoding")) {
        // The body is left unread: this connection cannot carry another request.
        response.set_header("Connection", "close");
    }
    return httplib::Server::HandlerResponse::Handled;
}

const RouteRule& WebServer::Run::ruleFor(const httplib::Request& request) const {
    const std::string method = request.method == "HEAD" ? "GET" : request.method;
    bool pathKnown = false;
    for (const RouteRule& rule : m_core->rules) {
        if (std::regex_match(request.path, rule.pattern)) {
            if (rule.method == method) {
                return rule;
            }
            pathKnown = true;
        }
    }
    if (pathKnown) {
        throw ApiError(ApiErrorKind::WrongMethod, request.method + " is not taken here");
    }
    throw ApiError(ApiErrorKind::NotFound, "no such thing: " + request.path);
}

void WebServer::Run::checkHeaders(const httplib::Request& request) const {
    std::size_t bytes = 0;
    for (const auto& [name, value] : request.headers) {
        bytes += name.size() + value.size() + 4;
    }
    if (request.headers.size() > m_options.limits.headerLines ||
        bytes > m_options.limits.headerBytes) {
        throw ApiError(ApiErrorKind::HeadersTooLarge, "too many header lines or bytes");
    }
}

void WebServer::Run::checkOrigin(const httplib::Request& request) const {
    const std::string origin = request.get_header_value("Origin");
    if (origin.empty()) {
        // A script sends no Origin; a browser that says the request comes from another site
        // is believed.
        const std::string site = request.get_header_value("Sec-Fetch-Site");
        if (site == "cross-site" || site == "same-site") {
            throw ApiError(ApiErrorKind::ForeignOrigin, "requests from another site are refused");
        }
        return;
    }
    const std::string own =
        (m_options.plainHttp ? "http://" : "https://") + request.get_header_value("Host");
    if (!sameText(origin, own)) {
        throw ApiError(ApiErrorKind::ForeignOrigin, "requests from " + origin + " are refused");
    }
}

void WebServer::Run::checkLength(const httplib::Request& request, const RouteRule& rule) const {
    const bool chunked = request.has_header("Transfer-Encoding");
    const bool sized = request.has_header("Content-Length");
    if (!changesState(request.method)) {
        if (chunked || request.get_header_value<std::uint64_t>("Content-Length") > 0) {
            throw ApiError(ApiErrorKind::BadValue, request.method + " takes no body");
        }
        return;
    }
    // cpp-httplib 0.11 would read a chunked body, or one up to the end, without a limit.
    if (chunked || !sized) {
        throw ApiError(ApiErrorKind::LengthRequired, "send the body with a Content-Length");
    }
    const Limits& limits = m_options.limits;
    const std::size_t limit = rule.body == RequestBody::Json      ? limits.jsonBody
                              : rule.body == RequestBody::Picture ? limits.pictureBody
                                                                  : limits.otherBody;
    if (request.get_header_value<std::uint64_t>("Content-Length") > limit) {
        throw ApiError(ApiErrorKind::TooLarge,
                       "the body is larger than " + std::to_string(limit) + " bytes");
    }
}

std::optional<WebServer::Run::Caller>
WebServer::Run::authenticate(const httplib::Request& request) {
    const std::shared_ptr<const WebSettings> settings = m_core->services.settings->current();
    const std::string authorization = request.get_header_value("Authorization");
    if (!authorization.empty()) {
        // A wrong token is not helped by a cookie.
        constexpr std::string_view bearer = "Bearer ";
        if (authorization.size() <= bearer.size() ||
            !sameText(std::string_view(authorization).substr(0, bearer.size()), bearer)) {
            return std::nullopt;
        }
        const std::string token(trimmed(std::string_view(authorization).substr(bearer.size())));
        const WebToken* known = settings->tokenWithHash(secrets::sha256Hex(token));
        if (known == nullptr) {
            return std::nullopt;
        }
        return Caller{"token " + known->name, {}};
    }
    const std::string cookie = cookieValue(request, cookieName());
    if (cookie.empty()) {
        return std::nullopt;
    }
    const std::lock_guard lock(m_core->mutex);
    const std::optional<SessionStore::Session> session =
        m_core->sessions.use(cookie, settings->passwordHash, Clock::now());
    m_core->saveSessions(true);
    if (!session) {
        return std::nullopt;
    }
    return Caller{"session " + session->label, cookie};
}

std::string WebServer::Run::cookieText(const std::string& value, bool ending) const {
    std::string text = cookieName() + "=" + value + "; Path=/; HttpOnly; SameSite=Strict";
    if (ending) {
        text += "; Max-Age=0";
    }
    if (!m_options.plainHttp) {
        text += "; Secure";
    }
    return text;
}

void WebServer::Run::record(const httplib::Request& request, const std::string& who,
                            const std::string& what, int status) const {
    if (m_core->services.changes) {
        m_core->services.changes->write(
            {std::chrono::system_clock::now(), request.remote_addr, who, what, status});
    }
}

void WebServer::Run::serve(std::size_t index, const httplib::Request& request,
                           httplib::Response& response) {
    if (answerDeferred(response)) {
        return;
    }
    const WebRoute& route = m_core->routes[index];
    ApiRequest call;
    call.method = request.method;
    call.path = request.path;
    call.address = request.remote_addr;
    call.contentType = request.get_header_value("Content-Type");
    call.ui = &m_core->ui;
    std::string changed;
    try {
        if (route.access == Access::LoggedIn) {
            const std::optional<Caller> caller = authenticate(request);
            if (!caller) {
                throw ApiError(ApiErrorKind::NotLoggedIn, "the session has ended");
            }
            call.who = caller->who;
        }
        for (std::size_t i = 1; i < request.matches.size(); ++i) {
            call.pathParts.push_back(request.matches[i].str());
        }
        call.query.insert(request.params.begin(), request.params.end());
        for (const auto& [name, value] : request.headers) {
            std::string lower = name;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            call.headers[lower] = value;
        }
        if (route.body == RequestBody::Json) {
            call.json = jsonBody::parse(request, m_options.limits.jsonBody);
        } else if (route.body == RequestBody::Picture) {
            if (request.body.size() > m_options.limits.pictureBody) {
                throw ApiError(ApiErrorKind::TooLarge, "the picture is larger than 20 MB");
            }
            call.bytes = request.body;
        }
        const ApiReply reply = route.handler(call);
        writeReply(response, reply);
        changed = reply.changed;
    } catch (const ApiError& error) {
        sendError(response, error);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "LMControl: web API, %s %s: %s\n", request.method.c_str(),
                     request.path.c_str(), error.what());
        sendError(response, ApiErrorKind::Internal, "the program failed on this request");
    }
    if (changesState(request.method) && !call.who.empty()) {
        record(request, call.who, changed.empty() ? request.method + " " + request.path : changed,
               response.status);
    }
}

void WebServer::Run::login(const httplib::Request& request, httplib::Response& response) {
    if (answerDeferred(response)) {
        return;
    }
    const std::string& address = request.remote_addr;
    std::string who;
    std::string what = "log-in refused";
    try {
        const nlohmann::json body = jsonBody::parse(request, m_options.limits.jsonBody);
        const std::string password = jsonBody::requireString(body, "password");
        const std::shared_ptr<const WebSettings> settings = m_core->services.settings->current();
        // No password set: nobody gets in, and the attempt counts like a wrong one.
        const bool right = !settings->passwordHash.empty() &&
                           passwordHash::check(settings->passwordHash, password);
        const std::lock_guard lock(m_core->mutex);
        if (!right) {
            m_core->throttle.failed(address, Clock::now());
            throw ApiError(ApiErrorKind::WrongPassword, "wrong password");
        }
        m_core->throttle.succeeded(address);
        const SessionStore::Opened opened =
            m_core->sessions.open(address, settings->passwordHash, Clock::now());
        m_core->saveSessions(false);
        who = "session " + opened.session.label;
        what = "log-in";
        response.set_header("Set-Cookie", cookieText(opened.cookie, false));
        jsonBody::send(response, {{"who", who}});
    } catch (const ApiError& error) {
        sendError(response, error);
    }
    record(request, who, what, response.status);
}

void WebServer::Run::logout(const httplib::Request& request, httplib::Response& response) {
    if (answerDeferred(response)) {
        return;
    }
    const std::optional<Caller> caller = authenticate(request);
    if (!caller) {
        sendError(response, ApiErrorKind::NotLoggedIn, "the session has ended");
        return;
    }
    if (!caller->cookie.empty()) {
        const std::lock_guard lock(m_core->mutex);
        m_core->sessions.close(caller->cookie);
        m_core->saveSessions(false);
    }
    response.set_header("Set-Cookie", cookieText("", true));
    response.status = 204;
    record(request, caller->who, "log-out", response.status);
}

void WebServer::Run::session(const httplib::Request& request, httplib::Response& response) {
    if (answerDeferred(response)) {
        return;
    }
    const std::optional<Caller> caller = authenticate(request);
    if (!caller) {
        sendError(response, ApiErrorKind::NotLoggedIn, "the session has ended");
        return;
    }
    jsonBody::send(response, {{"who", caller->who}});
}

void WebServer::Run::events(const httplib::Request&, httplib::Response& response) {
    if (answerDeferred(response)) {
        return;
    }
    std::shared_ptr<EventHub::Subscription> subscription = m_core->hub.subscribe();
    if (!subscription) {
        sendError(response, ApiErrorKind::StreamsFull,
                  "every change stream is taken; try again later");
        return;
    }
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream", [subscription, heartbeat = m_options.limits.heartbeat,
                              opened = false](std::size_t, httplib::DataSink& sink) mutable {
            std::string frame;
            if (!opened) {
                // Sent at once, so that the client knows the stream is open; "retry" is how
                // long a browser waits before it reconnects (ms).
                opened = true;
                frame = "retry: 2000\n: open\n\n";
                return sink.write(frame.data(), frame.size());
            }
            switch (subscription->next(heartbeat, frame)) {
            case EventHub::Subscription::Next::Event:
                return sink.write(frame.data(), frame.size());
            case EventHub::Subscription::Next::Quiet:
                frame = ": \n\n";
                return sink.write(frame.data(), frame.size());
            case EventHub::Subscription::Next::Ended:
                sink.done();
                return true;
            }
            return false;
        });
}

WebServer::Options WebServer::Options::from(const WebSettings& settings, TlsIdentity tls) {
    Options options;
    options.address = settings.address;
    options.port = settings.port;
    options.plainHttp = settings.plainHttp;
    options.tls = std::move(tls);
    return options;
}

WebServer::WebServer(WebRoutes routes, Services services)
    : m_core(std::make_shared<Core>(std::move(routes), std::move(services))) {}

WebServer::~WebServer() {
    stop();
}

bool WebServer::start(const Options& options, std::string& why) {
    stop();
    auto run = std::make_shared<Run>(m_core, options);
    m_core->hub.open(options.limits.streams);
    m_core->ui.open();
    if (!run->listen(why)) {
        m_core->hub.close();
        m_core->ui.close();
        return false;
    }
    m_run = std::move(run);
    return true;
}

void WebServer::stop() {
    const std::shared_ptr<Run> run = std::move(m_run);
    m_run.reset();
    if (!run) {
        return;
    }
    // The desk's calls first: a server thread waiting for this thread would wait in vain.
    m_core->ui.close();
    // The server before the streams: a stream that ends must find its connection stopping,
    // not waiting for the next request.
    run->halt();
    m_core->hub.close();
    run->finish();
    const std::lock_guard lock(m_core->mutex);
    m_core->saveSessions(false);
}

int WebServer::port() const {
    return m_run ? m_run->port() : 0;
}

EventHub& WebServer::events() {
    return m_core->hub;
}

} // namespace lm
