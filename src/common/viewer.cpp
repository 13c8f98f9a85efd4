#include "viewer.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace vexlo {

namespace {

std::string findOnPath(const std::string& program) {
    const char* pathVariable = std::getenv("PATH");
    const std::string searchList = pathVariable != nullptr ? pathVariable : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= searchList.size()) {
        auto end = searchList.find(':', start);
        if (end == std::string::npos) {
            end = searchList.size();
        }
        std::string folder = searchList.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

bool openForUser(const std::string& path) {
    const std::string viewer = findOnPath("xdg-open");
    if (viewer.empty()) {
        return false;
    }
    // The shell starts the viewer in the background and ends at once, so the viewer is adopted
    // by init and never waited for, and no zombie is left behind.
    const char* script = "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &";
    std::string shell = "/bin/sh";
    char* argv[] = {shell.data(),
                    const_cast<char*>("-c"),
                    const_cast<char*>(script),
                    const_cast<char*>(viewer.c_str()),
                    const_cast<char*>(path.c_str()),
                    nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, shell.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vexlo
