#include "DeskThread.h"

namespace lm::test {

DeskThread::DeskThread() : m_thread([this] { loop(); }) {}

DeskThread::~DeskThread() {
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

UiCalls::Post DeskThread::poster() {
    return [this](std::function<void()> task) {
        {
            const std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_changed.notify_all();
    };
}

void DeskThread::hold() {
    const std::lock_guard lock(m_mutex);
    m_held = true;
}

void DeskThread::release() {
    {
        const std::lock_guard lock(m_mutex);
        m_held = false;
    }
    m_changed.notify_all();
}

void DeskThread::loop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_ending || (!m_held && !m_tasks.empty()); });
            if (m_ending) {
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

} // namespace lm::test
