#include "WebFrontEnd.h"

#include "DeskEvents.h"
#include "DeskRoutes.h"
#include "PageAssets.h"
#include "PageWords.h"
#include "QtPictureProbe.h"
#include "TlsIdentity.h"
#include "WebChangeLog.h"
#include "WebPlaces.h"
#include "WebServer.h"
#include "WebSettingsStore.h"

namespace lm {

namespace {

// What a restart is needed for; the password and the tokens are read at each request.
bool listensAlike(const WebSettings& a, const WebSettings& b) {
    return a.address == b.address && a.port == b.port && a.plainHttp == b.plainHttp &&
           a.certificateFile == b.certificateFile && a.privateKeyFile == b.privateKeyFile;
}

} // namespace

WebFrontEnd::WebFrontEnd(OperatorDesk& desk, Options options) : m_options(std::move(options)) {
    const WebPlaces places =
        WebPlaces::forWorkDir(WebPlaces::configHome(), WebPlaces::stateHome(), m_options.workDir);
    m_store = std::make_shared<WebSettingsStore>(places.configFolder);
    m_changes = std::make_shared<WebChangeLog>(places.changeLog);
    m_inspector = std::make_unique<QtPictureProbe>();
    m_routes = std::make_unique<DeskRoutes>(desk, m_store, *m_inspector);
    WebRoutes routes = m_routes->routes();
    std::vector<PageFile> page = pageAssets();
    page.push_back(pageWords());
    for (WebRoute& route : pageRoutes(std::move(page))) {
        routes.push_back(std::move(route));
    }
    m_server = std::make_unique<WebServer>(std::move(routes),
                                           WebServer::Services{m_store, m_changes, m_options.post});
    m_events = std::make_unique<DeskEvents>(desk, m_server->events());
}

WebFrontEnd::~WebFrontEnd() {
    stop();
}

WebSettings WebFrontEnd::settings() const {
    const WebSettings saved = *m_store->current();
    return m_commandLineHolds ? m_options.commandLine.applyTo(saved) : saved;
}

bool WebFrontEnd::apply(std::string& why) {
    const WebSettings wanted = settings();
    if (!wanted.enabled) {
        stop();
        return true;
    }
    if (m_listening && listensAlike(*m_listening, wanted) && m_server->running()) {
        return true;
    }
    std::optional<TlsIdentity> tls;
    if (!wanted.plainHttp) {
        tls = TlsIdentity::ensure(m_store->folder(), wanted, why);
        if (!tls) {
            stop();
            return false;
        }
    }
    m_listening.reset();
    if (!m_server->start(WebServer::Options::from(wanted, tls.value_or(TlsIdentity{})), why)) {
        return false;
    }
    m_listening = wanted;
    return true;
}

bool WebFrontEnd::applySaved(std::string& why) {
    m_commandLineHolds = false;
    return apply(why);
}

void WebFrontEnd::stop() {
    m_server->stop();
    m_listening.reset();
}

bool WebFrontEnd::running() const {
    return m_server->running();
}

int WebFrontEnd::port() const {
    return m_server->port();
}

std::string WebFrontEnd::fingerprint(std::string& why) const {
    const WebSettings shown = settings();
    if (shown.plainHttp) {
        why = "plain HTTP: no certificate";
        return {};
    }
    const std::optional<TlsIdentity> tls = TlsIdentity::ensure(m_store->folder(), shown, why);
    return tls ? tls->fingerprint : std::string();
}

} // namespace lm
