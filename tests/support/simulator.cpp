#include "simulator.h"

#include <sys/prctl.h>

#include <cstdlib>
#include <stdexcept>

namespace vexlo::test {

namespace {

using Clock = std::chrono::steady_clock;

// The first line the child writes, without its "\n"; nothing when it ends or the time is up
// first.
std::optional<std::string> firstLine(QProcess& child, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!child.canReadLine()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !child.waitForReadyRead(static_cast<int>(left.count()))) {
            return std::nullopt;
        }
    }
    return child.readLine().chopped(1).toStdString();
}

// CTest names the folders in the environment; a test program started by hand falls back on
// where the build put things.
std::string simulatorPath() {
    return std::getenv("VEXLO_BUILD_DIR") != nullptr
               ? buildDir() + "/tools/schemora-sim/schemora-sim"
               : std::string(VEXLO_SIMULATOR_PATH);
}

const char* const busConfig = R"(<busconfig>
  <type>session</type>
  <listen>unix:path=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

std::unique_ptr<QProcess> startChild(const std::vector<std::string>& command,
                                     const std::string& stderrPath, int deathSignal) {
    auto child = std::make_unique<QProcess>();
    child->setProgram(QString::fromStdString(command.front()));
    QStringList arguments;
    for (auto argument = command.begin() + 1; argument != command.end(); ++argument) {
        arguments << QString::fromStdString(*argument);
    }
    child->setArguments(arguments);
    child->setStandardInputFile(QProcess::nullDevice());
    child->setStandardErrorFile(QString::fromStdString(stderrPath));
    child->setChildProcessModifier([deathSignal] { ::prctl(PR_SET_PDEATHSIG, deathSignal); });
    child->start();
    if (!child->waitForStarted()) {
        throw std::runtime_error(command.front() +
                                 " did not start: " + child->errorString().toStdString());
    }
    return child;
}

int stopChild(QProcess& child, int signal, std::chrono::milliseconds grace) {
    if (child.state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(child.processId()), signal);
        if (!child.waitForFinished(static_cast<int>(grace.count()))) {
            child.kill();
            child.waitForFinished(-1);
        }
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 128 + child.exitCode();
}

void PrivateBusEnvironment::SetUp() {
    const TempDir& dir = dir_.emplace();
    writeFile(dir.file("bus.conf"),
              QString::asprintf(busConfig, dir.file("bus").c_str()).toStdString());
    daemon_ = startChild({"dbus-daemon", "--nofork", "--nopidfile",
                          "--config-file=" + dir.file("bus.conf"), "--print-address"},
                         dir.file("daemon.log"), SIGKILL);
    const auto line = firstLine(*daemon_, std::chrono::seconds(10));
    if (!line || line->empty()) {
        stopChild(*daemon_, SIGKILL, std::chrono::seconds(1));
        throw std::runtime_error("dbus-daemon did not start: " + readFile(dir.file("daemon.log")));
    }
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) {
        oldAddress_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(*line));
}

void PrivateBusEnvironment::TearDown() {
    stopChild(*daemon_, SIGTERM, std::chrono::seconds(5));
    if (oldAddress_) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", *oldAddress_);
    } else {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    dir_.reset();
}

RunningSimulator::RunningSimulator(std::vector<std::string> arguments,
                                   std::chrono::milliseconds readyTimeout) {
    arguments.insert(arguments.begin(), simulatorPath());
    process_ = startChild(arguments, dir_.file("stderr.log"), SIGTERM);
    const auto line = firstLine(*process_, readyTimeout);
    if (!line || !line->starts_with("schemora-sim: ready: ")) {
        const int status = stop(SIGKILL);
        throw std::runtime_error(
            "schemora-sim did not get ready (" +
            (line ? "it printed \"" + *line + "\"" : std::string("no ready line")) +
            ", exit status " + std::to_string(status) + "): " + errorOutput());
    }
    readyLine_ = *line;
}

int RunningSimulator::stop(int signal) {
    if (!exitStatus_) {
        exitStatus_ = stopChild(*process_, signal, std::chrono::seconds(10));
    }
    return *exitStatus_;
}

ProgramRun runSimulator(const std::vector<std::string>& arguments,
                        std::chrono::milliseconds timeout) {
    const TempDir dir;
    std::vector<std::string> command{simulatorPath()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto child = startChild(command, dir.file("stderr.log"), SIGKILL);
    // Still running after the time-out means it did not refuse: it is stopped, and says so.
    child->waitForFinished(static_cast<int>(timeout.count()));
    const int status = stopChild(*child, SIGKILL, std::chrono::seconds(10));
    return {status, child->readAllStandardOutput().toStdString(), readFile(dir.file("stderr.log"))};
}

}  // namespace vexlo::test
