// The names one copy of the program is known by to the system: its single-instance mutexes and the
// service it installs. Each is derived from one key, the hash of a folder's or a computer's name, and
// never read back out of another name.
#pragma once

#include <string>
#include <string_view>

namespace glimmerfen {

// The key of a program folder or a watched computer: the name upper-cased in the ANSI code page (the
// system compares both without regard to letter case) and hashed into 16 hexadecimal digits, since a
// mutex's name holds no "\\" and is short.
std::string InstanceKey(std::string_view name);

// The two single-instance mutexes, in the namespace of every logon session and whatever the
// executable is called. One per program folder: the copies of one folder share its INI file and log.
// One per watched computer (empty for this computer): a computer is watched once.
std::string FolderMutexName(const std::string& exeDir);
std::string ComputerMutexName(const std::string& watchedComputer);

// The service's name: one per watched computer, as the computer's mutex is ("GlimmerfenChecker" for
// this computer, with the other computer's key after it otherwise). An installed service keeps its name
// from version to version, so the key must not change.
std::string ServiceName(const std::string& watchedComputer);

// The mutex of the tray that is the window of a service (by the service's name): one window per service.
std::string ServiceWindowMutexName(const std::string& serviceName);

} // namespace glimmerfen
