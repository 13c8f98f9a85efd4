// The real programs on a private bus: schemora-sim's cases through the client, and vexlo-report's
// golden cases as the program, against the simulator or a scripted tool in this process.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <filesystem>

#include "common/error.h"
#include "dbus/flatstream.h"
#include "dbus/toolbus.h"
#include "dbus/toolclient.h"
#include "golden.h"
#include "simulator.h"

namespace vexlo::test {
namespace {

namespace fs = std::filesystem;

const auto* const privateBus = ::testing::AddGlobalTestEnvironment(new PrivateBusEnvironment);

// A tool answering from a design but for its fault: "stopped" never answers, "vanish" leaves the
// bus instead of flattening, "empty" and "folder" send an empty sealed memory file or a folder
// as the design, "unsealed" the whole design in a memory file it could still shrink,
// "mistyped" answers CurrentProject with a number; "huge", "longvalue" and "widevalue" send a
// sparse sealed memory file (hostile, and free to make): 64 GiB claiming 4,000,000,000
// components, one value of 4 GiB, one value of 1.5 GiB in a stream of less than 2 GiB.
class ScriptedTool final : public QDBusVirtualObject {
public:
    ScriptedTool(const sim::Design& design, std::string fault)
        : design_(design), fault_(std::move(fault)) {
        bus_.registerVirtualObject(dbus::objectPath, this);
        bus_.registerService(dbus::serviceName);
    }
    ~ScriptedTool() override { QDBusConnection::disconnectFromBus(bus_.name()); }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const QString member = message.member();
        if (fault_ == "stopped") {
            return true;  // never answers
        }
        QVariant answer =
            QString::fromStdString(member == "CurrentProject"       ? design_.project
                                   : member == "ActiveDocumentPath" ? design_.document->path
                                                                    : design_.document->name);
        if (member == "CurrentProject" && fault_ == "mistyped") {
            answer = 7;
        } else if (member == "LoadGroupFlatten" && fault_ == "vanish") {
            bus_.unregisterService(dbus::serviceName);
            return true;
        } else if (member == "LoadGroupFlatten") {
            const int fd = fault_ == "folder"
                               ? ::open("/", O_RDONLY | O_DIRECTORY)
                               : ::memfd_create("design", MFD_CLOEXEC | MFD_ALLOW_SEALING);
            if (fault_ == "unsealed") {
                // The whole design, in a file the tool could still shrink under the reader.
                const std::string stream = design_.flatStream;
                [[maybe_unused]] const auto written = ::write(fd, stream.data(), stream.size());
            } else if (fault_ == "empty") {
                ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE);
            } else if (fault_ == "huge" || fault_ == "longvalue" || fault_ == "widevalue") {
                // The stream's first bytes at the start of a file of the stream's size: the rest
                // reads as zeros, the value's bytes and the symbol's attribute count among them.
                const std::uint64_t length = fault_ == "longvalue" ? 0xFFFFFFFF : 3ULL << 29;
                const std::string component =
                    le(2) + "R1" + le(0) + le(1) + le(5) + "Value" + le(length);
                const std::uint64_t size =
                    fault_ == "huge" ? 64ULL << 30 : 20 + component.size() + length + 4;
                const std::string start = "QFLT" + le(1) + le(size, 8) +
                                          le(fault_ == "huge" ? 4'000'000'000 : 1) + component;
                [[maybe_unused]] const int sized = ::ftruncate(fd, static_cast<off_t>(size));
                [[maybe_unused]] const auto written = ::pwrite(fd, start.data(), start.size(), 0);
                ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE);
            }
            answer = QVariant::fromValue(QDBusUnixFileDescriptor(fd));
            ::close(fd);
        }
        return bus.send(message.createReply(answer));
    }

private:
    sim::Design design_;
    std::string fault_;
    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "scripted");
};

// Waits for the end, answering the scripted tool's calls meanwhile.
ReportRun finished(QProcess& process) {
    while (!process.waitForFinished(10) && process.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// Each case of report.case as a test of VexloReportAsTheProgram.
const bool asTheProgram = registerReportCases(
    "VexloReportAsTheProgram", true,
    [](const GoldenCase& c, const sim::Design& design, const Lines& arguments,
       const std::string& folder) -> std::optional<ReportRun> {
        const std::string tool = key(c, "tool", "sim");
        if (c.contains("resistors")) {  // the design's document, with that many resistors
            std::string json =
                R"({"project": "amp/", "document": {"name": "amp.1", "path": "amp/sch/"},
 "components": [{"refdes": "R0"})";
            for (int part = 1; part <= std::stoi(key(c, "resistors")); ++part) {
                json += ",\n" + std::string(R"({"refdes": "R)") + std::to_string(part) +
                        R"(", "attributes": [["Value", "10k"]]})";
            }
            writeFile(folder + "/design.json", json + "]}");
        }
        std::optional<RunningSimulator> simulator;
        std::optional<ScriptedTool> scripted;
        if (tool == "sim") {
            simulator.emplace(Lines{folder + "/design.json"});
        } else if (tool != "none" && tool != "nobus") {
            scripted.emplace(design, tool);
        }
        // Through env(1) after the prefix (NAME=VALUE settings, a wrapping command); "together
        // N": N runs at once, each as if alone.
        Lines line = words(key(c, "prefix") + " " + buildDir() + "/src/cli/vexlo-report", folder);
        line.insert(line.end(), arguments.begin(), arguments.end());
        QStringList command;
        std::ranges::transform(line, std::back_inserter(command), &QString::fromStdString);
        std::vector<std::unique_ptr<QProcess>> runs(std::stoi(key(c, "together", "1")));
        for (auto& process : runs) {
            (process = std::make_unique<QProcess>())->start("env", command);
        }
        const ReportRun run = finished(*runs[0]);
        for (std::size_t other = 1; other < runs.size(); ++other) {
            const ReportRun same = finished(*runs[other]);
            EXPECT_EQ(std::tie(same.status, same.out, same.err),
                      std::tie(run.status, run.out, run.err));
        }
        return run;
    });

// Each call of a "calls" section: "MEMBER [ARGUMENT] = what it returns or the Error".
void expectCalls(const std::string& calls, std::unique_ptr<design::SchematicTool>& tool) {
    std::istringstream lines(calls);
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find(" = ");
        const Lines call = words(line.substr(0, equals), "");
        std::string result;
        try {
            if (call[0] == "connect") {
                tool = dbus::connectToTool();
            } else if (call[0] == "LoadGroupFlatten") {
                result =
                    std::to_string(tool->LoadGroupFlatten(call.at(1))->Count()) + " components";
            } else {
                result = call[0] == "CurrentProject"       ? tool->CurrentProject()
                         : call[0] == "ActiveDocumentPath" ? tool->ActiveDocumentPath()
                                                           : tool->ActiveViewDocumentName();
            }
        } catch (const Error& error) {
            result = errorMessage(error);
        }
        EXPECT_EQ(result, line.substr(equals + 3)) << line;
    }
}

// schemora-sim's cases, each in a fresh folder (the current one) with its "in" files. With "exit"
// it ends by itself; else it serves ("ready") until "stop" (SIGTERM by default), answering
// "calls" and then "calls after stop"; "whole": the design file arrives byte for byte. "busy":
// another simulator holds the name; "tree": the folder afterwards.
void simulatorCase(const GoldenCase& c) {
    const fs::path home = fs::current_path();
    const TempDir dir;
    const std::string& at = dir.path();
    fs::current_path(at);
    files(c, "in", at, "\n");
    auto busy = c.contains("busy")
                    ? std::make_unique<RunningSimulator>(Lines{"--root", dir.file("busy")})
                    : nullptr;
    const Lines arguments = words(key(c, "args"), at);
    if (c.contains("exit")) {
        const ProgramRun run = runSimulator(arguments);
        EXPECT_EQ(run.status, std::stoi(key(c, "exit")));
        expectOutput(c, "out", run.out, at);
        expectOutput(c, "err", run.err, at);
    } else {
        RunningSimulator simulator(arguments);
        EXPECT_EQ(simulator.readyLine(), substituted(key(c, "ready"), at));
        std::unique_ptr<design::SchematicTool> tool = dbus::connectToTool();
        expectCalls(text(c, "calls", at), tool);
        if (c.contains("whole")) {
            EXPECT_EQ(dbus::writeFlatStream(*tool->LoadGroupFlatten(tool->DesignName())),
                      sim::loadDesignFile(QString::fromStdString(arguments[0])).flatStream);
        }
        EXPECT_EQ(simulator.stop(std::stoi(key(c, "stop", "15"))), 0);
        EXPECT_EQ(simulator.errorOutput(), "");
        expectCalls(text(c, "calls after stop", at), tool);
    }
    busy.reset();
    // The simulator gave up its name on the bus.
    EXPECT_THROW(dbus::connectToTool(), Error);
    if (c.contains("--- tree")) {
        EXPECT_EQ(listTree(at), words(text(c, "tree", at, " "), at));
    }
    fs::current_path(home);
}
const bool simulatorCases =
    (registerCases("Simulator", "tests/tools/simulator.case",
                   byName(loadCases("tests/tools/simulator.case")), simulatorCase),
     true);

}  // namespace
}  // namespace vexlo::test
