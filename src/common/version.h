#pragma once

#include <cstdio>
#include <cstring>

// Every program answers --version, wherever it stands among the arguments, with "NAME VERSION"
// on standard output; VEXLO_VERSION comes from the project's version in CMakeLists.txt. Checked
// before anything else starts, so it needs no display and no bus.
namespace vexlo {

inline bool printVersionIfAsked(const char* program, int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", program, VEXLO_VERSION);
            return true;
        }
    }
    return false;
}

}  // namespace vexlo
