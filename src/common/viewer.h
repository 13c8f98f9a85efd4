#pragma once

#include <string>

namespace vexlo {

// Hands a file to the desktop's viewer with `xdg-open FILE`, found on PATH, started detached and
// not waited for. Returns false when xdg-open is not on PATH or cannot be started.
bool openForUser(const std::string& path);

}  // namespace vexlo
