#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lm {

// The server's threads: a fixed number, each serving one connection at a time, and at most
// `waiting` accepted connections waiting for one. Past that the accepting thread waits too, so
// that further clients stay in the kernel's backlog instead of piling up here: this bounds the
// connections the program holds open.
class ConnectionQueue : public httplib::TaskQueue {
public:
    // What the server and the queue share: the server lets a waiting accept go on when it
    // stops.
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> jobs;
        std::size_t waiting = 0;
        bool stopping = false;
        bool shut = false;

        void release();
    };

    ConnectionQueue(std::size_t threads, std::size_t waiting, std::shared_ptr<Gate> gate);
    ~ConnectionQueue() override;

    void enqueue(std::function<void()> fn) override;
    // Serves what waits (the server has stopped, so each ends at once), then joins.
    void shutdown() override;

private:
    void work();

    std::shared_ptr<Gate> m_gate;
    std::vector<std::thread> m_threads;
};

} // namespace lm
