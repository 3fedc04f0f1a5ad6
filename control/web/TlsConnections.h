#pragma once

#include <memory>
#include <mutex>
#include <set>

using SSL_CTX = struct ssl_ctx_st;

namespace lm {

// The sockets of the HTTPS connections open now, so that a stop can end them all at once: a
// client that sends nothing, or keeps an idle connection, would otherwise hold a server thread
// until its time-out. A socket is known from the start of its TLS handshake until OpenSSL frees
// the connection, which happens before the socket is closed, so a number that is shut down is
// always still this connection's.
class TlsConnections {
public:
    // Makes every connection of the context known to `connections`.
    static void watch(SSL_CTX* context, std::shared_ptr<TlsConnections> connections);

    // Shuts every known socket down (blocked reads and writes return at once), and each later
    // one as soon as its handshake begins.
    void shutAll();
    std::size_t size();

    void add(int fd);
    void remove(int fd);

private:
    std::mutex m_mutex;
    std::set<int> m_sockets;
    bool m_shut = false;
};

} // namespace lm
