#pragma once

#include <memory>
#include <optional>
#include <string>

namespace vexlo::report {

// The viewer started for one file: xdg-open, run in the background and never waited for. It
// tells its end through a pipe, so that a program that stays open can say when the viewer could
// not show the file (xdg-open ending with a non-zero status); a program that does not ask lets
// it end alone.
class ViewerRun final {
public:
    explicit ViewerRun(int endFd) noexcept : endFd_(endFd) {}
    ~ViewerRun();
    ViewerRun(const ViewerRun&) = delete;
    ViewerRun& operator=(const ViewerRun&) = delete;

    // The descriptor that becomes readable once xdg-open has ended, to watch for reading.
    int endFd() const noexcept { return endFd_; }
    // xdg-open's exit status once it has ended, read without waiting; nullopt while it runs.
    // An end that told no status (the watcher killed) reads as 255.
    std::optional<int> exitStatus();

private:
    int endFd_ = -1;
    std::optional<int> status_;
};

// Hands a file to the desktop's viewer with `xdg-open FILE`, found on PATH, started detached.
// None when xdg-open is not on PATH or cannot be started.
std::shared_ptr<ViewerRun> openForUser(const std::string& path);

}  // namespace vexlo::report
