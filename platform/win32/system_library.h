// Libraries of the system taken from the system folder, and nowhere else.
//
// The loader looks for a library named without a path in the program's own folder before the system
// folder, and only a short list of libraries ("known DLLs") is exempt. A library of the same name
// planted beside the program (a Downloads folder is enough) would then run inside a process that
// usually has administrator rights. So the program links no such library at build time: it loads each
// one here and looks its functions up by name.
#pragma once

#include <windows.h>

#include <string>

namespace glimmerfen::platform {

// Loads the system's library `name` (a bare file name such as L"netapi32.dll") from the system folder.
// Returns nullptr, with the loader's error in GetLastError(), when it is not there. The library stays
// loaded for the life of the process.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The full path of the file `name` in the system folder (System32) or in the Windows folder, for starting
// the system's programs by path rather than by a search that looks in this program's folder first.
// Empty when the folder is not known.
std::string SystemFolderFile(const char* name);
std::string WindowsFolderFile(const char* name);

// The function `name` of `library` as a typed pointer; nullptr when the library or the function is
// missing.
template <typename Function>
Function LibraryFunction(HMODULE library, const char* name) {
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Makes the system folder the only folder that later loads by bare name search, for this process as a
// whole: libraries that the system's own libraries load on our behalf included. Returns false on
// systems that lack the setting (Vista, and 7 without its loader update).
bool RestrictLibrarySearchToSystemFolder();

} // namespace glimmerfen::platform
