// Owners and views of Win32 handles. An owner is move-only and closes its handle exactly once; a
// view (WindowRef) never closes anything.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace glimmerfen::win32 {

// Traits: `using Type = ...;`, `static Type Invalid() noexcept;`, `static void Close(Type) noexcept;`.
template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

    // Closes the current handle (unless it is the one being taken over) and owns `value`.
    void reset(Type value = Traits::Invalid()) noexcept {
        Type old = std::exchange(value_, value);
        if (old != Traits::Invalid() && old != value) {
            Traits::Close(old);
        }
    }
    // Gives up ownership without closing.
    [[nodiscard]] Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

private:
    Type value_ = Traits::Invalid();
};

namespace detail {
template <typename T, auto CloseFn>
struct NullTraits {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type value) noexcept { CloseFn(value); }
};
struct FileTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) noexcept { ::CloseHandle(value); }
};
inline void CloseKernelHandle(HANDLE h) noexcept {
    ::CloseHandle(h);
}
inline void DestroyIconHandle(HICON h) noexcept {
    ::DestroyIcon(h);
}
inline void DestroyMenuHandle(HMENU h) noexcept {
    ::DestroyMenu(h);
}
inline void DestroyImageListHandle(HIMAGELIST h) noexcept {
    ::ImageList_Destroy(h);
}
inline void DeleteGdiHandle(HGDIOBJ h) noexcept {
    ::DeleteObject(h);
}
inline void DeleteBitmapHandle(HBITMAP h) noexcept {
    ::DeleteObject(h);
}
inline void CloseServiceManagerHandle(SC_HANDLE h) noexcept {
    ::CloseServiceHandle(h);
}
inline void CloseRegistryKey(HKEY h) noexcept {
    ::RegCloseKey(h);
}
inline void DeregisterEventSourceHandle(HANDLE h) noexcept {
    ::DeregisterEventSource(h);
}
template <typename T>
void FreeLocalMemory(T memory) noexcept {
    ::LocalFree(reinterpret_cast<HLOCAL>(memory));
}
} // namespace detail

using UniqueHandle = UniqueResource<detail::NullTraits<HANDLE, detail::CloseKernelHandle>>;
using UniqueFile = UniqueResource<detail::FileTraits>;
using UniqueIcon = UniqueResource<detail::NullTraits<HICON, detail::DestroyIconHandle>>;
using UniqueMenu = UniqueResource<detail::NullTraits<HMENU, detail::DestroyMenuHandle>>;
using UniqueImageList = UniqueResource<detail::NullTraits<HIMAGELIST, detail::DestroyImageListHandle>>;
using UniqueGdiObject = UniqueResource<detail::NullTraits<HGDIOBJ, detail::DeleteGdiHandle>>;
using UniqueBitmap = UniqueResource<detail::NullTraits<HBITMAP, detail::DeleteBitmapHandle>>;
// A mutex, an event, a thread or a process: the plain kernel handles that CloseHandle ends.
using UniqueMutex = UniqueHandle;
// The service manager and its services (OpenSCManager, OpenService, CreateService).
using UniqueServiceHandle = UniqueResource<detail::NullTraits<SC_HANDLE, detail::CloseServiceManagerHandle>>;
using UniqueRegKey = UniqueResource<detail::NullTraits<HKEY, detail::CloseRegistryKey>>;
// RegisterEventSource's handle.
using UniqueEventSource = UniqueResource<detail::NullTraits<HANDLE, detail::DeregisterEventSourceHandle>>;
// Memory the system allocated for the caller with LocalAlloc (a security descriptor made from its text,
// a message of FormatMessage), as the pointer type the call gives.
template <typename T>
using UniqueLocalMemory = UniqueResource<detail::NullTraits<T, detail::FreeLocalMemory<T>>>;

// A window we use but do not own: copyable, never destroys the window.
class WindowRef {
public:
    WindowRef() noexcept = default;
    WindowRef(HWND hwnd) noexcept : hwnd_(hwnd) {}
    HWND get() const noexcept { return hwnd_; }
    operator HWND() const noexcept { return hwnd_; }
    bool Exists() const noexcept { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }

private:
    HWND hwnd_ = nullptr;
};

// A device context from GetDC, released with ReleaseDC on the window it came from.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) noexcept : hwnd_(hwnd), hdc_(::GetDC(hwnd)) {}
    WindowDC(WindowDC&& other) noexcept
        : hwnd_(std::exchange(other.hwnd_, nullptr)), hdc_(std::exchange(other.hdc_, nullptr)) {}
    WindowDC& operator=(WindowDC&&) = delete;
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (hdc_ != nullptr) {
            ::ReleaseDC(hwnd_, hdc_);
        }
    }
    HDC get() const noexcept { return hdc_; }
    explicit operator bool() const noexcept { return hdc_ != nullptr; }

private:
    HWND hwnd_;
    HDC hdc_;
};

// Selects a GDI object into a device context and puts the previous one back at the end of the scope.
class SelectedObject {
public:
    SelectedObject(HDC hdc, HGDIOBJ object) noexcept : hdc_(hdc), previous_(::SelectObject(hdc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            ::SelectObject(hdc_, previous_);
        }
    }
    explicit operator bool() const noexcept { return previous_ != nullptr && previous_ != HGDI_ERROR; }

private:
    HDC hdc_;
    HGDIOBJ previous_;
};

} // namespace glimmerfen::win32
