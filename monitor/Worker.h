// The one way work runs off the window's thread: a queue of tasks and one thread that runs them, one
// after another in the order given. The thread starts with the first task (or Start), so that work
// that never comes costs no thread.
//
// One way to end: Stop stops accepting tasks, lets the thread run what is queued for a bounded time,
// and then leaves it behind. Everything the thread touches is owned jointly by the Worker and the
// thread, so a thread left behind (a task waiting for a distant server, a slow event log) ends later
// on its own without touching freed memory. A task must therefore keep alive what it uses itself
// (a shared_ptr it holds), or use only what outlives the process's end.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace glimmerfen {

class Worker {
public:
    // where: names the work in the report of a fault that leaves a task.
    explicit Worker(const char* where);
    // Stop without waiting.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts the thread now, unless it runs already or Stop has begun.
    void Start();

    // Queues a task, starting the thread if it is not running yet; false when Stop has begun and the
    // task is dropped. An exception that leaves a task is reported as a fault. Safe from any thread.
    [[nodiscard]] bool Post(std::function<void()> task);

    // Waits until nothing is queued and no task runs: without a limit, or at most timeout (false when
    // that passed first). Never on the worker's own thread.
    void WaitIdle();
    bool WaitIdle(std::chrono::milliseconds timeout);

    // Stops accepting tasks, and gives the thread at most `grace` to run what is queued and end.
    // Meanwhile this thread answers the messages that other threads send to it, and the boxes that a
    // task shows are ended (see platform::WaitForThreadEnd). True when the thread has ended (or never
    // ran); false when it is left behind to end on its own. Later calls return the same.
    bool Stop(std::chrono::milliseconds grace);

private:
    struct State;
    void StartLocked();
    static void Run(const std::shared_ptr<State>& state);

    // Shared with the thread, which may outlive this object.
    std::shared_ptr<State> state_;
    bool stopped_ = false;
    bool ended_ = false;
};

} // namespace glimmerfen
