#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace lm {

// The change streams' hub: front-end code publishes each change once (from the Qt thread, or
// any other), and every open stream receives it as a server-sent event at once. Publishing
// never waits for a client: each stream has a queue of its own, and a stream that falls more
// than `backlog` events behind is ended, so that its client reconnects and reads the state
// anew. There are at most `streams` places; the hub is closed while the server is stopped.
class EventHub {
public:
    struct State;

    // One open stream's place.
    class Subscription {
    public:
        enum class Next {
            Event, // `frame` holds the next event's text
            Quiet, // nothing came within the time-out
            Ended, // the hub was closed, or this stream fell too far behind
        };

        explicit Subscription(std::shared_ptr<State> state);
        // Frees the place.
        ~Subscription();
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;

        Next next(std::chrono::milliseconds timeout, std::string& frame);

    private:
        std::shared_ptr<State> m_state;
        std::uint64_t m_id = 0;
    };

    explicit EventHub(std::size_t backlog = 256);
    ~EventHub();
    EventHub(const EventHub&) = delete;
    EventHub& operator=(const EventHub&) = delete;

    // Takes streams from now on, at most `streams` at once.
    void open(std::size_t streams);
    // Ends every open stream now and takes no more until open().
    void close();
    // A place for one more stream; nothing when the hub is closed or every place is taken.
    std::unique_ptr<Subscription> subscribe();
    // `type`: lower-case letters, digits, "." or "-" (anything else is replaced with "-");
    // `data` goes out as one line of JSON.
    void publish(std::string_view type, const nlohmann::json& data);
    std::size_t openStreams() const;

    // The text of one server-sent event.
    static std::string frame(std::uint64_t id, std::string_view type, const nlohmann::json& data);

private:
    std::shared_ptr<State> m_state;
};

} // namespace lm
