#include "platform/shared_lock.h"

#include <windows.h>
#include <sddl.h>

namespace glimmerfen::platform {

SharedLock::SharedLock(std::string name) : name_(std::move(name)) {}

SharedLock::~SharedLock() {
    if (handle_ != nullptr) {
        ::CloseHandle(handle_);
    }
}

void SharedLock::lock() {
    if (!opened_) {
        opened_ = true;
        // Whoever makes it first (the service as SYSTEM or an administrator's program), the other can
        // open it.
        PSECURITY_DESCRIPTOR security = nullptr;
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1,
                                                                   &security, nullptr)) {
            SECURITY_ATTRIBUTES attributes{sizeof attributes, security, FALSE};
            handle_ = ::CreateMutexA(&attributes, FALSE, ("Global\\" + name_).c_str());
            ::LocalFree(security);
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
