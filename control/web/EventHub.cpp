#include "EventHub.h"

#include "JsonBody.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace lm {

struct EventHub::State {
    struct Queue {
        std::deque<std::string> frames;
        bool ended = false;
    };

    explicit State(std::size_t limit) : backlog(limit) {}

    const std::size_t backlog;
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    std::size_t places = 0;
    std::uint64_t nextSubscriber = 1;
    std::uint64_t nextEvent = 1;
    std::map<std::uint64_t, Queue> queues;
};

EventHub::Subscription::Subscription(std::shared_ptr<State> state) : m_state(std::move(state)) {
    // The hub's lock is held by subscribe().
    m_id = m_state->nextSubscriber++;
    m_state->queues[m_id];
}

EventHub::Subscription::~Subscription() {
    const std::lock_guard lock(m_state->mutex);
    m_state->queues.erase(m_id);
}

EventHub::Subscription::Next EventHub::Subscription::next(std::chrono::milliseconds timeout,
                                                          std::string& frame) {
    std::unique_lock lock(m_state->mutex);
    State::Queue& queue = m_state->queues[m_id];
    m_state->changed.wait_for(lock, timeout, [&] { return queue.ended || !queue.frames.empty(); });
    if (queue.ended) {
        return Next::Ended;
    }
    if (queue.frames.empty()) {
        return Next::Quiet;
    }
    frame = std::move(queue.frames.front());
    queue.frames.pop_front();
    return Next::Event;
}

EventHub::EventHub(std::size_t backlog) : m_state(std::make_shared<State>(backlog)) {}

EventHub::~EventHub() {
    close();
}

void EventHub::open(std::size_t streams) {
    const std::lock_guard lock(m_state->mutex);
    m_state->open = true;
    m_state->places = streams;
}

void EventHub::close() {
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->open = false;
        for (auto& [id, queue] : m_state->queues) {
            queue.ended = true;
        }
    }
    m_state->changed.notify_all();
}

std::unique_ptr<EventHub::Subscription> EventHub::subscribe() {
    const std::lock_guard lock(m_state->mutex);
    if (!m_state->open || m_state->queues.size() >= m_state->places) {
        return nullptr;
    }
    return std::make_unique<Subscription>(m_state);
}

void EventHub::publish(std::string_view type, const nlohmann::json& data) {
    {
        const std::lock_guard lock(m_state->mutex);
        const std::string text = frame(m_state->nextEvent++, type, data);
        for (auto& [id, queue] : m_state->queues) {
            if (queue.ended) {
                continue;
            }
            if (queue.frames.size() >= m_state->backlog) {
                queue.ended = true;
                queue.frames.clear();
                continue;
            }
            queue.frames.push_back(text);
        }
    }
    m_state->changed.notify_all();
}

std::size_t EventHub::openStreams() const {
    const std::lock_guard lock(m_state->mutex);
    return m_state->queues.size();
}

std::string EventHub::frame(std::uint64_t id, std::string_view type, const nlohmann::json& data) {
    std::string name(type.empty() ? "change" : type);
    for (char& c : name) {
        const bool allowed =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
        c = allowed ? c : '-';
    }
    // dump() without indentation writes no line break, so the data is one "data:" line.
    return "id: " + std::to_string(id) + "\nevent: " + name + "\ndata: " + jsonBody::dump(data) +
           "\n\n";
}

} // namespace lm
