// A lock that every process of this computer takes under one name: for what two programs of the same
// folder (the service and the log viewer of its tray) must not do at the same time. On Windows a named
// mutex in the global namespace, open to Administrators and SYSTEM only; elsewhere an exclusive lock on
// a file of that name in the temporary folder. Where the lock cannot be had at all (a process without
// the rights to open it), lock() and unlock() do nothing and the process's own locks still hold.
#pragma once

#include <string>

namespace glimmerfen::platform {

class SharedLock {
public:
    explicit SharedLock(std::string name);
    ~SharedLock();
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

    // Waits without limit; a lock left by a process that ended holding it is taken over.
    void lock();
    void unlock();

private:
    std::string name_;
    void* handle_ = nullptr; // opened at the first lock()
    int fd_ = -1;
    bool opened_ = false;
};

} // namespace glimmerfen::platform
