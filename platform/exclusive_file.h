// Files opened without sharing: while one opening exists, every other opening of the same file, in
// this process or another, fails. On Windows that is a share mode of 0; elsewhere an exclusive,
// non-blocking advisory lock taken right after the open (and before anything is changed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace glimmerfen::platform {

enum class FileOpenMode {
    ReadWriteAlways, // read and write; created when missing, never truncated
    ReadExisting,    // read only; fails when the file does not exist
    CreateTruncate,  // read and write; created when missing, emptied when it exists
};

// Owns one exclusive opening; closed by Close or the destructor. Move-only.
class ExclusiveFile {
public:
    ExclusiveFile() = default;
    ~ExclusiveFile();
    ExclusiveFile(ExclusiveFile&& other) noexcept;
    ExclusiveFile& operator=(ExclusiveFile&& other) noexcept;
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Closes what this object had open, then opens the path. False when the file is missing (for
    // ReadExisting), held by another opening, or cannot be opened at all.
    bool Open(const std::string& path, FileOpenMode mode);
    bool IsOpen() const { return handle_ != kInvalid; }

    // Up to size bytes from the current position: the number read, 0 at the end of the file, -1 on
    // an error.
    std::int64_t Read(char* buffer, std::size_t size);
    // All size bytes at the current position; false when not all of them could be written.
    bool Write(const char* data, std::size_t size);
    // Moves to the end of the file, then writes all size bytes there. When not all of them could be
    // written, the file is cut back to its old end: no part of the data stays behind.
    bool Append(const char* data, std::size_t size);
    // Moves to an absolute position.
    bool Seek(std::uint64_t offset);
    // The file's length in bytes, -1 when it cannot be told.
    std::int64_t Size() const;
    // Cuts the file off at the current position.
    bool TruncateHere();
    // Puts the file at from in the place of the file at to, which this object holds open, in one
    // step as ReplaceFileByMove does, and closes this object either way. Where the system allows it
    // (not on Windows), the move happens while the old file is still held, so that no other opening
    // can come in between; the replaced file's storage is then released without waiting for it.
    bool ReplaceByMove(const std::string& from, const std::string& to);
    // False when the system reports an error on closing (the written data may be incomplete).
    // Closing a closed file succeeds.
    bool Close();

private:
    // A Windows HANDLE or a file descriptor; -1 is the invalid value of both.
    static constexpr std::intptr_t kInvalid = -1;
    std::intptr_t handle_ = kInvalid;
};

// Puts the file at from in the place of the file at to, in one step: an existing file at to is
// replaced, and at no moment is there no file at to. False when that could not be done (on Windows,
// for instance, while another program holds the target open); both files are then as they were.
// (Not named ReplaceFile: <windows.h> turns that name into a macro.)
[[nodiscard]] bool ReplaceFileByMove(const std::string& from, const std::string& to);

// The other calls that name a file by its path. Every path the program names is text in the system's
// ANSI code page, as the system's own "A" functions take it; these treat it so (a folder named in
// Japanese under code page 932 included), where a conversion of the C++ library may take another code
// page and name another file, or none.
bool FileExists(const std::string& path);
// Removes the file; false when it is still there (held by another program, no rights). A missing file
// counts as removed.
[[nodiscard]] bool RemoveFile(const std::string& path);
// Gives the file at from the name to, which must not exist yet; false when it could not (from missing
// or held, to existing).
[[nodiscard]] bool RenameFile(const std::string& from, const std::string& to);

} // namespace glimmerfen::platform
