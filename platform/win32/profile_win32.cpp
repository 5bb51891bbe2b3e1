// Private profile files through the Windows profile functions.
#include "platform/profile.h"

#include <windows.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/codepage.h"

namespace glimmerfen::platform {

int ProfileGetInt(const std::string& path, const char* section, const char* key, int defaultValue) {
    // The function returns the signed value as an unsigned word; converting back gives negatives.
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, path.c_str()));
}

std::string ProfileGetString(const std::string& path, const char* section, const char* key, const char* defaultValue,
                             std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    const DWORD size =
        bufferSize > static_cast<std::size_t>(INT_MAX) ? static_cast<DWORD>(INT_MAX) : static_cast<DWORD>(bufferSize);
    // Zero-filled: when the last character does not fit, some implementations leave the byte before
    // the terminator unwritten, so the text is taken up to the first terminator, not by the count.
    std::string buffer(size, '\0');
    GetPrivateProfileStringA(section, key, defaultValue ? defaultValue : "", buffer.data(), size, path.c_str());
    const std::size_t length = std::char_traits<char>::length(buffer.c_str());
    buffer.resize(length);
    // Never hand back half of a double-byte character cut at the end of a full buffer: a lead byte
    // that is the text's last character has lost its trail byte.
    if (length + 1 >= size && length > 0) {
        std::size_t last = 0;
        for (std::size_t i = 0; i < length;) {
            last = i;
            i += platform::IsLeadByte(static_cast<unsigned char>(buffer[i])) && i + 1 < length ? 2 : 1;
        }
        if (last == length - 1 && platform::IsLeadByte(static_cast<unsigned char>(buffer[last]))) {
            buffer.pop_back();
        }
    }
    return buffer;
}

bool ProfileWriteString(const std::string& path, const char* section, const char* key, const char* value) {
    if (value == nullptr) {
        return WritePrivateProfileStringA(section, key, nullptr, path.c_str()) != FALSE;
    }
    // A line break inside a value would make the rest of it a line of its own, a key or even a section.
    std::string line(value);
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return WritePrivateProfileStringA(section, key, line.c_str(), path.c_str()) != FALSE;
}

} // namespace glimmerfen::platform

namespace glimmerfen::platform {

std::uint64_t ProfileFileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info)) {
        return 0;
    }
    const std::uint64_t written =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    return (written ^ (static_cast<std::uint64_t>(info.nFileSizeLow) << 40)) | 1u;
}

} // namespace glimmerfen::platform
