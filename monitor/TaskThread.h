// A thread of its own for work that waits on the server at the user's request (ending a session,
// closing a file), so that the window that asks never waits for a distant computer. Tasks run one
// after another in the order given.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace glimmerfen {

class TaskThread {
public:
    TaskThread();
    // Stop with kGrace.
    ~TaskThread();
    TaskThread(const TaskThread&) = delete;
    TaskThread& operator=(const TaskThread&) = delete;

    // Queues a task; after Stop has begun it is dropped. An exception that leaves a task is reported as
    // a fault.
    void Post(std::function<void()> task);

    // Runs what is queued and ends the thread, waiting for it at most `grace`. Meant for the
    // user-interface thread: meanwhile it answers the messages that other threads send to it, and it
    // answers a box that a task shows. True when the thread ended; false when a task still waits (for
    // the server) and is left to end on its own: what it uses must then stay alive until the process
    // ends. Later calls return the same.
    bool Stop(std::chrono::milliseconds grace = kGrace);
    static constexpr std::chrono::milliseconds kGrace{500};

private:
    struct State;
    // Shared with the thread, which may outlive this object when Stop leaves it running.
    std::shared_ptr<State> state_;
    bool stopped_ = false;
    bool ended_ = true;
};

} // namespace glimmerfen
