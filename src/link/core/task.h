// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QEventLoop>

#include <coroutine>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

namespace varnix::link {

// A step that may have to wait (a pause between characters, an answer, a
// port that connects), written once as a coroutine and driven two ways. A
// single run's waits hold its thread, running its event loop inside them,
// so the coroutine runs straight through as a call would. A fleet's waits
// hand the coroutine to the thread's pacer, which resumes it when its time
// comes, so that a few threads drive many runs.
//
// A task begins when it is awaited (co_await) or started, and hands its
// result to the one awaiting it. A task that ends without having waited
// lets the one awaiting it go on without waiting either, so that a long
// run of steps never deepens the stack, whatever the optimiser does.
//
// Arguments a task takes by reference must outlive it: await a task in the
// expression that makes it.
template <typename T>
class Task;

namespace detail {

struct PromiseBase {
    // Who awaits this task, and whether it has suspended for it (otherwise
    // it is still inside its co_await and goes on by itself).
    std::coroutine_handle<> awaiting;
    bool awaitingSuspended = false;
    // The driver of an outermost task, told when it has ended.
    std::function<void()> onDone;

    std::suspend_always initial_suspend() noexcept { return {}; }

    struct Final {
        bool await_ready() noexcept { return false; }
        template <typename Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> ended) noexcept
        {
            PromiseBase& promise = ended.promise();
            if (promise.awaitingSuspended)
                return promise.awaiting;
            if (promise.onDone) {
                // It may destroy this task.
                const auto done = std::move(promise.onDone);
                done();
            }
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    Final final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { std::terminate(); }
};

template <typename T>
struct Promise : PromiseBase {
    std::optional<T> value;
    void return_value(T v) { value = std::move(v); }
    T take() { return std::move(*value); }
};

template <>
struct Promise<void> : PromiseBase {
    void return_void() {}
    void take() {}
};

} // namespace detail

template <typename T = void>
class [[nodiscard]] Task
{
public:
    struct promise_type : detail::Promise<T> {
        Task get_return_object() { return Task(std::coroutine_handle<promise_type>::from_promise(*this)); }
    };

    Task(Task&& other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
    Task& operator=(Task&& other) noexcept
    {
        if (this != &other) {
            if (m_handle)
                m_handle.destroy();
            m_handle = std::exchange(other.m_handle, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task()
    {
        if (m_handle)
            m_handle.destroy();
    }

    // Awaited from another task: runs until it ends or waits.
    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<> awaiting)
    {
        auto& promise = m_handle.promise();
        promise.awaiting = awaiting;
        m_handle.resume();
        if (m_handle.done())
            return false;
        promise.awaitingSuspended = true;
        return true;
    }
    T await_resume() { return m_handle.promise().take(); }

    // The outermost task of a driver: runs until it ends or waits; `done`
    // is told when it ends later, from whatever resumed it.
    void start(std::function<void()> done = {})
    {
        m_handle.promise().onDone = std::move(done);
        m_handle.resume();
    }
    bool done() const { return m_handle && m_handle.done(); }
    // Once done.
    T result() { return m_handle.promise().take(); }

private:
    explicit Task(std::coroutine_handle<promise_type> handle) : m_handle(handle) {}
    std::coroutine_handle<promise_type> m_handle;
};

// Runs a task to its end in the calling thread: at once where its waits
// hold the thread, otherwise with the event loop running (all but the
// user's input) until it has ended.
template <typename T>
T runNow(Task<T> task)
{
    bool ended = false;
    QEventLoop* loop = nullptr;
    task.start([&] {
        ended = true;
        if (loop)
            loop->quit();
    });
    if (!task.done() && !ended && QCoreApplication::instance()) {
        QEventLoop waiting;
        loop = &waiting;
        waiting.exec(QEventLoop::ExcludeUserInputEvents);
        loop = nullptr;
    }
    return task.result();
}

} // namespace varnix::link
