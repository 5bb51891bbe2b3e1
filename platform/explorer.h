// The file explorer of the system, started on a folder or a computer's shares.
#pragma once

#include <string>

namespace glimmerfen::platform {

// Starts the file explorer of the system's own folder on target ("\\PC", a folder); false when it could
// not be started. Neither a search (which would look in this program's folder first) nor the shell's
// file associations (which merge in the user's own registry) choose what runs with this program's
// rights.
bool StartExplorer(const std::string& target);

} // namespace glimmerfen::platform
