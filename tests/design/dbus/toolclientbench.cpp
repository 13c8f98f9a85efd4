// How long a large design takes from file to the client's memory, step by step.
// Usage: toolclient_bench [COMPONENTS]   (default 200000; run from the build folder or with
// VEXLO_BUILD_DIR set, so that the simulator is found)
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "design/dbus/flatstream.h"
#include "design/dbus/toolclient.h"
#include "simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU seconds a process has used so far (user and system), from /proc: the machine is shared,
// so wall time alone says little.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    double ticks = 0;
    for (int index = 1; stat >> field && index <= 15; ++index) {
        if (index == 14 || index == 15) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The peak resident memory of a process in MiB, from /proc.
double peakMemoryMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 200000;
    vexlo::test::PrivateBus bus;
    QCoreApplication application(argc, argv);
    vexlo::test::TempDir dir;

    auto start = Clock::now();
    vexlo::test::writeGeneratedDesign(dir.file("big.json"), count);
    std::printf("components:               %zu\n", count);
    std::printf("design file:              %.1f MiB, written in %.2f s\n",
                static_cast<double>(std::filesystem::file_size(dir.file("big.json"))) / 1048576.0,
                secondsSince(start));

    start = Clock::now();
    vexlo::test::RunningSimulator simulator({dir.file("big.json")}, std::chrono::minutes(5));
    std::printf("simulator load to ready:  %.2f s (%.2f s CPU)\n", secondsSince(start),
                cpuSeconds(simulator.pid()));

    start = Clock::now();
    double cpu = cpuSeconds(::getpid());
    const auto tool = vexlo::design::dbus::connectToTool();
    const auto design = tool->LoadGroupFlatten("big");
    const double flatten = secondsSince(start);
    std::printf("flatten over the bus:     %.3f s, %.3f s CPU here (call, read and parse)\n",
                flatten, cpuSeconds(::getpid()) - cpu);

    const std::string stream = vexlo::design::dbus::writeFlatStream(*design);
    start = Clock::now();
    cpu = cpuSeconds(::getpid());
    const auto parsed = vexlo::design::dbus::readFlatStream(stream);
    std::printf("parse alone:              %.3f s, %.3f s CPU, for %.1f MiB\n", secondsSince(start),
                cpuSeconds(::getpid()) - cpu, static_cast<double>(stream.size()) / 1048576.0);
    std::printf("simulator peak memory:    %.0f MiB\n", peakMemoryMiB(simulator.pid()));
    std::printf("client peak memory:       %.0f MiB\n", peakMemoryMiB(::getpid()));
    return parsed.Count() == design->Count() ? 0 : 1;
}
