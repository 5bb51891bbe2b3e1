// Test hook of the Win32 server layer: the layer on a library other than the system's netapi32, to see
// what it does when the library or its functions are missing.
#pragma once

#include <memory>

#include "platform/netserver.h"

namespace glimmerfen::platform {

// The server layer on the system folder's library `library` (a bare file name).
std::unique_ptr<ServerPlatform> ServerOnLibraryForTesting(const wchar_t* library);

} // namespace glimmerfen::platform
