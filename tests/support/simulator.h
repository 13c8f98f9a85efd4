#pragma once

#include <QProcess>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testsupport.h"

// Real schematic tool processes for integration tests: a private session bus and the built
// schemora-sim on it. Every process started here ends with its owner, and also when the test
// program itself dies (the children get SIGKILL or SIGTERM from the kernel then).
namespace vexlo::test {

// A program started with stdin on /dev/null, stdout read here and stderr in a file; the kernel
// sends it `deathSignal` when this process ends.
std::unique_ptr<QProcess> startChild(const std::vector<std::string>& command,
                                     const std::string& stderrPath, int deathSignal);
// Sends the signal and waits for the end (SIGKILL once `grace` is over): the exit status, or
// 128 + n after signal n.
int stopChild(QProcess& child, int signal, std::chrono::milliseconds grace);

// A dbus-daemon of its own for the whole test program, for main() or
// ::testing::AddGlobalTestEnvironment(new PrivateBusEnvironment). Its address is put in
// DBUS_SESSION_BUS_ADDRESS for this process and the processes it starts; TearDown stops the
// daemon and restores the variable.
//
// QtDBus connects to the session bus once per process, on the first use of
// QDBusConnection::sessionBus(), and keeps that connection: nothing in the process may touch the
// session bus before SetUp, and one daemon serves every test.
class PrivateBusEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    std::optional<TempDir> dir_;
    std::unique_ptr<QProcess> daemon_;
    std::optional<QByteArray> oldAddress_;
};

// A schemora-sim serving on the session bus for the object's lifetime. The constructor returns
// once the simulator printed its ready line, and throws std::runtime_error (with what the
// simulator wrote on stderr) when it ends or stays silent instead. The destructor stops it with
// SIGTERM and waits for it (SIGKILL when it does not end within 10 s).
class RunningSimulator {
public:
    explicit RunningSimulator(std::vector<std::string> arguments = {},
                              std::chrono::milliseconds readyTimeout = std::chrono::seconds(30));
    ~RunningSimulator() { stop(SIGTERM); }
    RunningSimulator(const RunningSimulator&) = delete;
    RunningSimulator& operator=(const RunningSimulator&) = delete;

    const std::string& readyLine() const noexcept { return readyLine_; }
    // Sends the signal and waits for the end: the exit status, or 128 + n after signal n.
    int stop(int signal = SIGTERM);
    // What the simulator wrote on stderr so far.
    std::string errorOutput() const { return readFile(dir_.file("stderr.log")); }

private:
    TempDir dir_;
    std::unique_ptr<QProcess> process_;
    std::optional<int> exitStatus_;
    std::string readyLine_;
};

// A simulator run that ends by itself (refusals, --help).
ProgramRun runSimulator(const std::vector<std::string>& arguments,
                        std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace vexlo::test
