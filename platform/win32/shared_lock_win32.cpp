#include "platform/shared_lock.h"

#include <windows.h>
#include <sddl.h>

#include "platform/win32/handles.h"

namespace glimmerfen::platform {

SharedLock::SharedLock(std::string name) : name_(std::move(name)) {}

SharedLock::~SharedLock() {
    // The portable header keeps the handle untyped; it is closed as every mutex is.
    const win32::UniqueMutex mutex(handle_);
}

void SharedLock::lock() {
    if (!opened_) {
        opened_ = true;
        // Whoever makes it first (the service as SYSTEM or an administrator's program), the other can
        // open it.
        PSECURITY_DESCRIPTOR made = nullptr;
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1,
                                                                   &made, nullptr)) {
            const win32::UniqueLocalMemory<PSECURITY_DESCRIPTOR> security(made);
            SECURITY_ATTRIBUTES attributes{sizeof attributes, security.get(), FALSE};
            handle_ = ::CreateMutexA(&attributes, FALSE, ("Global\\" + name_).c_str());
        }
        if (handle_ == nullptr) {
            handle_ = ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, ("Global\\" + name_).c_str());
        }
    }
    if (handle_ != nullptr) {
        // WAIT_ABANDONED: its holder ended without letting go; it is this thread's now.
        ::WaitForSingleObject(handle_, INFINITE);
    }
}

void SharedLock::unlock() {
    if (handle_ != nullptr) {
        ::ReleaseMutex(handle_);
    }
}

} // namespace glimmerfen::platform
