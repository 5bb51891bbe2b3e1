#include "app/InstanceNames.h"

#include <cstdint>

#include "platform/ansitext.h"

namespace glimmerfen {
namespace {

constexpr const char* kProgramName = "GlimmerfenChecker";

// 64-bit FNV-1a, in 16 hexadecimal digits.
std::string HashHex(std::string_view text) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ull;
    }
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) {
        hex[static_cast<std::size_t>(i)] = kDigits[hash & 0xF];
    }
    return hex;
}

std::string GlobalName(const char* kind, std::string_view name) {
    return std::string("Global\\") + kProgramName + "." + kind + "." + InstanceKey(name);
}

} // namespace

std::string InstanceKey(std::string_view name) {
    return HashHex(AnsiUpper(name));
}

std::string FolderMutexName(const std::string& exeDir) {
    return GlobalName("Folder", exeDir);
}

std::string ComputerMutexName(const std::string& watchedComputer) {
    return GlobalName("Computer", watchedComputer);
}

std::string ServiceName(const std::string& watchedComputer) {
    if (watchedComputer.empty()) {
        return kProgramName;
    }
    return std::string(kProgramName) + "." + InstanceKey(watchedComputer);
}

std::string ServiceWindowMutexName(const std::string& serviceName) {
    return GlobalName("Window", serviceName);
}

} // namespace glimmerfen
