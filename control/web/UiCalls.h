#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <type_traits>
#include <utility>

namespace lm {

// Runs the web API's commands on the thread of the operator's desk (the Qt event loop's
// thread), from the server's threads. A call is posted to that thread and waited for up to a
// time-out; one that thread has not begun by then is dropped and never runs, so a client told
// 503 knows that nothing happened. A call that has begun is waited for to its end. close()
// (the server stops) drops every call not begun at once, and takes no more until open().
// Never waits on anything that needs the event loop to be running.
class UiCalls {
public:
    // Puts the task in the desk thread's queue; it may never run (the loop has ended).
    using Post = std::function<void(std::function<void()> task)>;

    struct Call;

    UiCalls(Post post, std::chrono::milliseconds timeout);
    ~UiCalls();
    UiCalls(const UiCalls&) = delete;
    UiCalls& operator=(const UiCalls&) = delete;

    void open();
    void close();

    // fn's result, computed on the desk's thread; an exception it throws is thrown here.
    // ApiError Unavailable when the desk's thread did not take the call up in time, or the
    // server stops.
    template <typename F> auto run(F&& fn) -> std::invoke_result_t<F&> {
        using Result = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<Result>) {
            runErased(std::function<void()>(std::forward<F>(fn)));
        } else {
            std::optional<Result> result;
            runErased([&result, &fn] { result.emplace(fn()); });
            return std::move(*result);
        }
    }

private:
    void runErased(std::function<void()> fn);

    Post m_post;
    std::chrono::milliseconds m_timeout;
    std::mutex m_mutex;
    bool m_open = true;
    std::set<std::shared_ptr<Call>> m_pending;
};

} // namespace lm
