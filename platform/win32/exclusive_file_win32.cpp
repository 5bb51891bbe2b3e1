// Exclusive files through CreateFileA with a share mode of 0: while the handle is open, every other
// opening of the file fails with a sharing violation.
#include "platform/exclusive_file.h"

#include <utility>

#include <windows.h>

namespace glimmerfen::platform {

namespace {

HANDLE ToHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces of this size.
constexpr std::size_t kMaxPiece = 1u << 30;

} // namespace

bool ExclusiveFile::Open(const std::string& path, FileOpenMode mode) {
    Close();
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = OPEN_ALWAYS;
    if (mode == FileOpenMode::ReadExisting) {
        access = GENERIC_READ;
        disposition = OPEN_EXISTING;
    } else if (mode == FileOpenMode::CreateTruncate) {
        disposition = CREATE_ALWAYS;
    }
    const HANDLE file = CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

std::int64_t ExclusiveFile::Read(char* buffer, std::size_t size) {
    if (!IsOpen()) {
        return -1;
    }
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(size < kMaxPiece ? size : kMaxPiece);
    if (!ReadFile(ToHandle(handle_), buffer, wanted, &got, nullptr)) {
        return -1;
    }
    return static_cast<std::int64_t>(got);
}

bool ExclusiveFile::Write(const char* data, std::size_t size) {
    if (!IsOpen()) {
        return false;
    }
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < kMaxPiece ? size : kMaxPiece);
        DWORD put = 0;
        if (!WriteFile(ToHandle(handle_), data, piece, &put, nullptr) || put == 0) {
            return false;
        }
        data += put;
        size -= put;
    }
    return true;
}

bool ExclusiveFile::Append(const char* data, std::size_t size) {
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    if (!IsOpen() || !SetFilePointerEx(ToHandle(handle_), zero, &end, FILE_END)) {
        return false;
    }
    if (Write(data, size)) {
        return true;
    }
    // A short write (a full disk) must not leave the start of the data behind.
    if (SetFilePointerEx(ToHandle(handle_), end, nullptr, FILE_BEGIN)) {
        SetEndOfFile(ToHandle(handle_));
    }
    return false;
}

bool ExclusiveFile::Seek(std::uint64_t offset) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return IsOpen() && SetFilePointerEx(ToHandle(handle_), position, nullptr, FILE_BEGIN);
}

std::int64_t ExclusiveFile::Size() const {
    LARGE_INTEGER size{};
    if (!IsOpen() || !GetFileSizeEx(ToHandle(handle_), &size)) {
        return -1;
    }
    return size.QuadPart;
}

bool ExclusiveFile::TruncateHere() {
    return IsOpen() && SetEndOfFile(ToHandle(handle_));
}

bool ExclusiveFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    return CloseHandle(ToHandle(std::exchange(handle_, kInvalid))) != FALSE;
}

bool ExclusiveFile::ReplaceByMove(const std::string& from, const std::string& to) {
    // Windows cannot move a file over one that is open.
    Close();
    return ReplaceFileByMove(from, to);
}

bool ReplaceFileByMove(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), 0) != FALSE;
}

} // namespace glimmerfen::platform
