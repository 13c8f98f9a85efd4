#include "simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace vexlo::test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// argv for execv, prepared before fork: the child may only make async-signal-safe calls.
class ArgumentVector {
public:
    explicit ArgumentVector(std::vector<std::string> arguments) : strings_(std::move(arguments)) {
        for (auto& argument : strings_) {
            pointers_.push_back(argument.data());
        }
        pointers_.push_back(nullptr);
    }
    char* const* get() { return pointers_.data(); }
    const char* program() const { return strings_.front().c_str(); }

private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

// Starts a program with stdout on a pipe (returned in stdoutFd) and stderr in a file. The child
// gets `deathSignal` when this process ends, so a crashed test leaves nothing running.
pid_t spawn(ArgumentVector& arguments, const std::string& stderrPath, int& stdoutFd,
            int deathSignal, int extraFd = -1) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    const int errFd = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, deathSignal);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(nullFd, 0);
        ::dup2(errFd, 2);
        if (extraFd < 0) {
            ::dup2(pipeFds[1], 1);
        } else {
            ::dup2(errFd, 1);
            if (pipeFds[1] == extraFd) {
                ::fcntl(extraFd, F_SETFD, 0);  // dup2 onto itself would keep close-on-exec
            } else {
                ::dup2(pipeFds[1], extraFd);
            }
        }
        ::execvp(arguments.program(), arguments.get());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::close(errFd);
    ::close(nullFd);
    if (pid < 0) {
        ::close(pipeFds[0]);
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    stdoutFd = pipeFds[0];
    return pid;
}

// Reads from fd until a whole line arrived, the writer closed it or the time is up: the line
// without its "\n", or nothing.
std::optional<std::string> readLine(int fd, std::string& buffer, Clock::time_point deadline) {
    for (;;) {
        const auto newline = buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd watched{fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return std::nullopt;
        }
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
}

int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : -1;
}

// Waits for the process to end; SIGKILL once the grace time is over. Its exit status.
int reap(pid_t pid, std::chrono::milliseconds grace) {
    const auto deadline = Clock::now() + grace;
    int waitStatus = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &waitStatus, WNOHANG);
        if (done == pid) {
            return statusOf(waitStatus);
        }
        if (done < 0 && errno != EINTR) {
            return -1;
        }
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            return statusOf(waitStatus);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::string busConfig(const std::string& socketPath) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path=" +
           socketPath +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

}  // namespace

PrivateBus::PrivateBus() {
    writeFile(dir_.file("bus.conf"), busConfig(dir_.file("bus")));
    // The daemon writes its address on fd 3, which the spawned child has on the pipe.
    ArgumentVector arguments({"dbus-daemon", "--nofork", "--nopidfile",
                              "--config-file=" + dir_.file("bus.conf"), "--print-address=3"});
    int addressFd = -1;
    pid_ = spawn(arguments, dir_.file("daemon.log"), addressFd, SIGKILL, 3);
    std::string buffer;
    const auto line = readLine(addressFd, buffer, Clock::now() + std::chrono::seconds(10));
    ::close(addressFd);
    if (!line || line->empty()) {
        ::kill(pid_, SIGKILL);
        reap(pid_, std::chrono::seconds(1));
        throw std::runtime_error("dbus-daemon did not start: " + readFile(dir_.file("daemon.log")));
    }
    address_ = *line;
    oldAddress_ = environmentValue("DBUS_SESSION_BUS_ADDRESS");
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateBus::~PrivateBus() {
    ::kill(pid_, SIGTERM);
    reap(pid_, std::chrono::seconds(5));
    if (oldAddress_) {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", oldAddress_->c_str(), 1);
    } else {
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

void PrivateBusEnvironment::SetUp() {
    bus_.emplace();
}

void PrivateBusEnvironment::TearDown() {
    bus_.reset();
}

// CTest names the folders in the environment; a test program started by hand falls back on
// where the build put things.
std::string simulatorPath() {
    return std::getenv("VEXLO_BUILD_DIR") != nullptr
               ? buildDir() + "/tools/schemora-sim/schemora-sim"
               : std::string(VEXLO_SIMULATOR_PATH);
}

RunningSimulator::RunningSimulator(std::vector<std::string> arguments,
                                   std::chrono::milliseconds readyTimeout) {
    arguments.insert(arguments.begin(), simulatorPath());
    ArgumentVector argv(std::move(arguments));
    pid_ = spawn(argv, dir_.file("stderr.log"), stdoutFd_, SIGTERM);
    std::string buffer;
    const auto line = readLine(stdoutFd_, buffer, Clock::now() + readyTimeout);
    if (!line || line->rfind("schemora-sim: ready: ", 0) != 0) {
        const int status = stop(SIGKILL);
        throw std::runtime_error(
            "schemora-sim did not get ready (" +
            (line ? "it printed \"" + *line + "\"" : std::string("no ready line")) +
            ", exit status " + std::to_string(status) + "): " + errorOutput());
    }
    readyLine_ = *line;
}

RunningSimulator::~RunningSimulator() {
    stop(SIGTERM);
}

int RunningSimulator::stop(int signal) {
    if (!exitStatus_) {
        ::kill(pid_, signal);
        exitStatus_ = reap(pid_, std::chrono::seconds(10));
        ::close(stdoutFd_);
    }
    return *exitStatus_;
}

std::string RunningSimulator::errorOutput() const {
    return readFile(dir_.file("stderr.log"));
}

SimulatorRun runSimulator(const std::vector<std::string>& arguments,
                          std::chrono::milliseconds timeout) {
    TempDir dir;
    std::vector<std::string> command{simulatorPath()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ArgumentVector argv(std::move(command));
    int outFd = -1;
    const pid_t pid = spawn(argv, dir.file("stderr.log"), outFd, SIGKILL);
    SimulatorRun run;
    std::string buffer;
    const auto deadline = Clock::now() + timeout;
    while (const auto line = readLine(outFd, buffer, deadline)) {
        run.out += *line + "\n";
    }
    run.out += buffer;
    ::close(outFd);
    // Still running after the time-out means it did not refuse: stop it and say so.
    run.exitStatus = reap(pid, std::chrono::milliseconds(Clock::now() < deadline ? 10000 : 0));
    run.err = readFile(dir.file("stderr.log"));
    return run;
}

}  // namespace vexlo::test
