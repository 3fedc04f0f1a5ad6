#include "TestServer.h"

#include "JsonBody.h"

#include <arpa/inet.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sstream>
#include <stdexcept>

namespace lm::test {

namespace {

WebRoutes standIns() {
    return {
        {HttpMethod::Get, "/api/ping", RequestBody::None, Access::LoggedIn,
         [](const ApiRequest& request) {
             return ApiReply::ofJson(request.onDesk([] { return nlohmann::json{{"pong", true}}; }));
         }},
        {HttpMethod::Post, "/api/echo", RequestBody::Json, Access::LoggedIn,
         [](const ApiRequest& request) {
             const std::string text = jsonBody::requireString(request.json, "text");
             ApiReply reply = ApiReply::ofJson(request.onDesk([&] {
                 return nlohmann::json{{"text", text.size() > 40 ? text.substr(0, 40) : text},
                                       {"who", request.who}};
             }));
             reply.changed = "echo " + std::to_string(text.size()) + " bytes";
             return reply;
         }},
    };
}

// The fingerprint as a browser shows it, taken here with OpenSSL alone.
std::string fingerprintOf(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    X509_digest(certificate, EVP_sha256(), digest, &size);
    std::string text;
    char part[4];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : ":%02X", digest[i]);
        text += part;
    }
    return text;
}

} // namespace

WebServer::Limits TestServer::quickLimits() {
    WebServer::Limits limits;
    limits.heartbeat = std::chrono::milliseconds(200);
    return limits;
}

TestServer::TestServer(bool plainHttp, WebServer::Limits limits)
    : TestServer([](const std::shared_ptr<WebSettingsStore>&) { return standIns(); }, plainHttp,
                 limits) {}

TestServer::TestServer(const RouteMaker& routes, bool plainHttp, WebServer::Limits limits)
    : places(WebPlaces::forWorkDir(dir.path() / "config", dir.path() / "state", "/srv/sign")),
      store(std::make_shared<WebSettingsStore>(places.configFolder)),
      log(std::make_shared<WebChangeLog>(places.changeLog)),
      server(routes(store), {store, log, desk.poster(), std::chrono::milliseconds(300)}),
      plain(plainHttp) {
    if (command(WebCommandLine::Command::Password, {}, std::string(password) + "\n").empty()) {
        throw std::runtime_error("--web-password failed");
    }
    token = command(WebCommandLine::Command::Token, "script");
    token = token.substr(0, token.find('\n'));
    std::istringstream info(command(WebCommandLine::Command::Info));
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("SHA-256:", 0) == 0) {
            fingerprint = line.substr(line.find_first_not_of(' ', 8));
        }
    }
    std::string why;
    WebSettings settings = *store->current();
    settings.address = "127.0.0.1";
    settings.port = 1; // replaced by port 0 below
    settings.plainHttp = plainHttp;
    std::optional<TlsIdentity> identity;
    if (!plainHttp) {
        identity = TlsIdentity::ensure(places.configFolder, settings, why);
        if (!identity) {
            throw std::runtime_error(why);
        }
    }
    WebServer::Options options =
        WebServer::Options::from(settings, identity.value_or(TlsIdentity{}));
    options.port = 0;
    options.limits = limits;
    if (!server.start(options, why)) {
        throw std::runtime_error(why);
    }
}

std::string TestServer::command(WebCommandLine::Command command, const std::string& name,
                                const std::string& input) {
    WebCommandLine line;
    line.command = command;
    line.tokenName = name;
    line.plainHttp = plain;
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    return runWebCommand(line, places, {in, out, err, false}) == 0 ? out.str() : std::string();
}

std::string TestServer::origin() const {
    return (plain ? "http://127.0.0.1:" : "https://127.0.0.1:") + std::to_string(port());
}

PinnedClient::PinnedClient(int port, std::string pin, std::string fromAddress)
    : m_client("127.0.0.1", port), m_pin(std::move(pin)) {
    m_client.enable_server_certificate_verification(false);
    m_client.set_connection_timeout(std::chrono::seconds(2));
    m_client.set_read_timeout(std::chrono::seconds(5));
    SSL_CTX* context = m_client.ssl_context();
    SSL_CTX_set_app_data(context, this);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, verify);
    if (!fromAddress.empty()) {
        m_client.set_socket_options(from(fromAddress));
    }
}

int PinnedClient::verify(int, X509_STORE_CTX* store) {
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = static_cast<PinnedClient*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (X509_STORE_CTX_get_error_depth(store) != 0) {
        return 1;
    }
    self->m_served = fingerprintOf(X509_STORE_CTX_get_current_cert(store));
    return self->m_pin.empty() || self->m_pin == self->m_served ? 1 : 0;
}

httplib::SocketOptions from(const std::string& address) {
    return [address](socket_t socket) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
        ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    };
}

StreamReader::StreamReader(int port, const std::string& token) : m_client(port) {
    m_thread = std::thread([this, token] {
        m_client.http().Get(
            "/api/events", {{"Authorization", "Bearer " + token}},
            [this](const httplib::Response& response) {
                const std::lock_guard lock(m_mutex);
                m_status = response.status;
                m_changed.notify_all();
                return true;
            },
            [this](const char* data, std::size_t size) {
                const std::lock_guard lock(m_mutex);
                m_text.append(data, size);
                m_changed.notify_all();
                return true;
            });
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    });
}

StreamReader::~StreamReader() {
    close();
}

bool StreamReader::waitFor(const std::string& text, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return m_text.find(text) != std::string::npos || m_ended;
    }) && m_text.find(text) != std::string::npos;
}

bool StreamReader::waitEnd(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_ended; });
}

int StreamReader::status() {
    const std::lock_guard lock(m_mutex);
    return m_status;
}

std::string StreamReader::text() {
    const std::lock_guard lock(m_mutex);
    return m_text;
}

void StreamReader::close() {
    if (m_thread.joinable()) {
        m_client.http().stop();
        m_thread.join();
    }
}

} // namespace lm::test
