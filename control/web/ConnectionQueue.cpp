#include "ConnectionQueue.h"

namespace lm {

void ConnectionQueue::Gate::release() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
}

ConnectionQueue::ConnectionQueue(std::size_t threads, std::size_t waiting,
                                 std::shared_ptr<Gate> gate)
    : m_gate(std::move(gate)) {
    m_gate->waiting = waiting;
    for (std::size_t i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { work(); });
    }
}

ConnectionQueue::~ConnectionQueue() {
    shutdown();
}

void ConnectionQueue::enqueue(std::function<void()> fn) {
    std::unique_lock lock(m_gate->mutex);
    m_gate->changed.wait(lock,
                         [&] { return m_gate->jobs.size() < m_gate->waiting || m_gate->stopping; });
    m_gate->jobs.push_back(std::move(fn));
    lock.unlock();
    m_gate->changed.notify_all();
}

void ConnectionQueue::shutdown() {
    {
        const std::lock_guard lock(m_gate->mutex);
        m_gate->shut = true;
    }
    m_gate->changed.notify_all();
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void ConnectionQueue::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_gate->mutex);
            m_gate->changed.wait(lock, [&] { return !m_gate->jobs.empty() || m_gate->shut; });
            if (m_gate->jobs.empty()) {
                return;
            }
            job = std::move(m_gate->jobs.front());
            m_gate->jobs.pop_front();
        }
        // A place in the queue is free: an accept that waits may go on.
        m_gate->changed.notify_all();
        job();
    }
}

} // namespace lm
