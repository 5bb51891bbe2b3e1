// The operating-system services of start-up and exit on Win32.
#pragma once

#include <optional>
#include <string>

#include "app/CheckerApp.h"

namespace glimmerfen {

class Win32StartupHost : public StartupHost {
public:
    std::optional<unsigned long> SystemPlatform() override;
    std::string ModulePath() override;
    MutexResult CreateInstanceMutex(const std::string& name) override;
    void RunMainWindow(CCheckerApp& app) override;

private:
    void* instanceMutex_ = nullptr; // the single-instance mutex, kept until the process ends
};

} // namespace glimmerfen
