#include "viewer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace vexlo::report {

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

// Starts the shell that runs the viewer in the background with the pipe's end as its
// descriptor 3; whether it started.
bool spawnViewer(const std::string& viewer, const std::string& path, int toldFd) {
    // The shell starts the viewer in the background and ends at once, so the viewer is adopted
    // by init and never waited for, and no zombie is left behind. The background part writes
    // xdg-open's status to descriptor 3 when it ends; xdg-open itself does not hold the pipe.
    const char* script =
        "{ \"$0\" \"$1\" </dev/null >/dev/null 2>&1 3>&-; echo $? >&3; } </dev/null 2>/dev/null &";
    std::string shell = "/bin/sh";
    char* argv[] = {shell.data(),
                    const_cast<char*>("-c"),
                    const_cast<char*>(script),
                    const_cast<char*>(viewer.c_str()),
                    const_cast<char*>(path.c_str()),
                    nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, toldFd, 3);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, shell.c_str(), &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return false;
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

ViewerRun::~ViewerRun() {
    ::close(endFd_);
}

std::optional<int> ViewerRun::exitStatus() {
    if (!status_) {
        char told[16] = {};
        const ssize_t count = ::read(endFd_, told, sizeof told - 1);
        if (count < 0) {
            return std::nullopt;  // still running
        }
        // The status comes as one short line in one write; an end without it is a watcher that
        // was killed.
        status_ = count == 0 ? 255 : std::atoi(told);
    }
    return status_;
}

std::shared_ptr<ViewerRun> openForUser(const std::string& path) {
    const std::string viewer = findOnPath("xdg-open");
    int ends[2];
    if (viewer.empty() || ::pipe2(ends, O_CLOEXEC) != 0) {
        return nullptr;
    }
    const bool started = spawnViewer(viewer, path, ends[1]);
    ::close(ends[1]);
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    auto run = std::make_shared<ViewerRun>(ends[0]);
    return started ? run : nullptr;
}

}  // namespace vexlo::report
