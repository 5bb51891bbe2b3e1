// Private profile (INI) files, with the rules of the Windows profile functions: section and key names
// compared without regard to case; a missing file, section or key gives the default; writing a new key
// appends it to its section (creating section and file as needed); writing an existing key replaces
// its value in place; everything else in the file is kept as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace glimmerfen::platform {

// Signed integer of the key (decimal, or hexadecimal after "0x"); a value that does not begin with a
// number gives 0, an empty value the default.
int ProfileGetInt(const std::string& path, const char* section, const char* key, int defaultValue);

// Text of the key, read through a buffer of bufferSize characters: at most bufferSize - 1 come back, and
// never half of a double-byte character. Blanks around the value and one pair of enclosing quotes (" or
// ') are removed; a key without a value gives the empty text, not the default. A null default is empty.
std::string ProfileGetString(const std::string& path, const char* section, const char* key, const char* defaultValue,
                             std::size_t bufferSize = 4096);

// Writes the key; false when the file could not be written. A null value removes the key, a null key
// removes the whole section.
bool ProfileWriteString(const std::string& path, const char* section, const char* key, const char* value);

// What changes whenever the file is written: its last-write time and size, folded into one number;
// 0 when the file is missing or cannot be asked. For a reader that takes up another process's changes.
std::uint64_t ProfileFileStamp(const std::string& path);

// Writes the key as a signed decimal number.
inline bool ProfileWriteInt(const std::string& path, const char* section, const char* key, int value) {
    return ProfileWriteString(path, section, key, std::to_string(value).c_str());
}

} // namespace glimmerfen::platform
