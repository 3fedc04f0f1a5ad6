#include "TlsConnections.h"

#include <mutex>
#include <openssl/ssl.h>
#include <sys/socket.h>

namespace lm {

namespace {

// What a connection carries: its socket and where it is known.
struct Mark {
    std::shared_ptr<TlsConnections> connections;
    int fd = -1;
};

extern "C" void freeMark(void*, void* pointer, CRYPTO_EX_DATA*, int, long, void*) {
    auto* mark = static_cast<Mark*>(pointer);
    if (mark != nullptr) {
        mark->connections->remove(mark->fd);
        delete mark;
    }
}

extern "C" void freeOwner(void*, void* pointer, CRYPTO_EX_DATA*, int, long, void*) {
    delete static_cast<std::shared_ptr<TlsConnections>*>(pointer);
}

int connectionIndex = -1;
int contextIndex = -1;

void makeIndexes() {
    static std::once_flag once;
    std::call_once(once, [] {
        connectionIndex = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, freeMark);
        contextIndex = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, freeOwner);
    });
}

extern "C" void onInfo(const SSL* constSsl, int where, int) {
    if ((where & SSL_CB_HANDSHAKE_START) == 0) {
        return;
    }
    // OpenSSL hands the connection as const; the marks are its own extra data.
    SSL* ssl = const_cast<SSL*>(constSsl);
    if (SSL_get_ex_data(ssl, connectionIndex) != nullptr) {
        return; // a second handshake on the same connection
    }
    auto* owner = static_cast<std::shared_ptr<TlsConnections>*>(
        SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextIndex));
    const int fd = SSL_get_fd(ssl);
    if (owner == nullptr || fd < 0) {
        return;
    }
    auto* mark = new Mark{*owner, fd};
    if (SSL_set_ex_data(ssl, connectionIndex, mark) != 1) {
        delete mark;
        return;
    }
    (*owner)->add(fd);
}

} // namespace

void TlsConnections::watch(SSL_CTX* context, std::shared_ptr<TlsConnections> connections) {
    makeIndexes();
    SSL_CTX_set_ex_data(context, contextIndex,
                        new std::shared_ptr<TlsConnections>(std::move(connections)));
    SSL_CTX_set_info_callback(context, onInfo);
}

void TlsConnections::shutAll() {
    const std::lock_guard lock(m_mutex);
    m_shut = true;
    for (const int fd : m_sockets) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

std::size_t TlsConnections::size() {
    const std::lock_guard lock(m_mutex);
    return m_sockets.size();
}

void TlsConnections::add(int fd) {
    const std::lock_guard lock(m_mutex);
    m_sockets.insert(fd);
    if (m_shut) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

void TlsConnections::remove(int fd) {
    const std::lock_guard lock(m_mutex);
    m_sockets.erase(fd);
}

} // namespace lm
