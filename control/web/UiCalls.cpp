#include "UiCalls.h"

#include "ApiError.h"

#include <condition_variable>
#include <exception>

namespace lm {

struct UiCalls::Call {
    enum class Stage { Waiting, Running, Done, Dropped };

    std::mutex mutex;
    std::condition_variable changed;
    Stage stage = Stage::Waiting;
    std::function<void()> fn;
    std::exception_ptr failure;

    // On the desk's thread.
    void runHere() {
        {
            const std::lock_guard lock(mutex);
            if (stage != Stage::Waiting) {
                return;
            }
            stage = Stage::Running;
        }
        try {
            fn();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex);
            stage = Stage::Done;
        }
        changed.notify_all();
    }

    // True when it was still waiting and will now never run.
    bool drop() {
        {
            const std::lock_guard lock(mutex);
            if (stage != Stage::Waiting) {
                return false;
            }
            stage = Stage::Dropped;
        }
        changed.notify_all();
        return true;
    }
};

UiCalls::UiCalls(Post post, std::chrono::milliseconds timeout)
    : m_post(std::move(post)), m_timeout(timeout) {}

UiCalls::~UiCalls() {
    close();
}

void UiCalls::open() {
    const std::lock_guard lock(m_mutex);
    m_open = true;
}

void UiCalls::close() {
    std::set<std::shared_ptr<Call>> pending;
    {
        const std::lock_guard lock(m_mutex);
        m_open = false;
        pending.swap(m_pending);
    }
    for (const std::shared_ptr<Call>& call : pending) {
        call->drop();
    }
}

void UiCalls::runErased(std::function<void()> fn) {
    auto call = std::make_shared<Call>();
    call->fn = std::move(fn);
    {
        const std::lock_guard lock(m_mutex);
        if (!m_open) {
            throw ApiError(ApiErrorKind::Unavailable, "the control program is closing");
        }
        m_pending.insert(call);
        // Posted under the lock, so that once close() has returned nothing is posted any more
        // and the desk's side may go. The task holds the call, never this object: it may run
        // after both are gone.
        m_post([call] { call->runHere(); });
    }

    std::unique_lock lock(call->mutex);
    const bool settled = call->changed.wait_for(
        lock, m_timeout, [&] { return call->stage != Call::Stage::Waiting; });
    if (!settled) {
        call->stage = Call::Stage::Dropped;
    }
    // Begun: it ends soon, and fn's captures must live until it has.
    call->changed.wait(lock, [&] {
        return call->stage == Call::Stage::Done || call->stage == Call::Stage::Dropped;
    });
    const Call::Stage stage = call->stage;
    lock.unlock();
    {
        const std::lock_guard pendingLock(m_mutex);
        m_pending.erase(call);
    }
    if (stage == Call::Stage::Dropped) {
        call->fn = nullptr;
        throw ApiError(ApiErrorKind::Unavailable,
                       "the control program did not take the command in time; nothing was done");
    }
    if (call->failure) {
        std::rethrow_exception(call->failure);
    }
}

} // namespace lm
