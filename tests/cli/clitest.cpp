// The golden cases in this process, against an in-memory tool serving the case's design.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/commandline.h"
#include "common/error.h"
#include "dbus/flatstream.h"
#include "faketool.h"
#include "golden.h"

namespace vexlo::cli {
namespace {

TEST(VexloReport, GoldenCasesInProcess) {
    test::runReportCases([](const test::GoldenCase& c, const sim::Design& design,
                            const test::Lines& arguments,
                            const std::string&) -> std::optional<test::ReportRun> {
        const std::string tool = test::key(c, "tool", "sim");
        design::FakeTool fake;
        fake.project = design.project;
        fake.documentName = design.document ? std::optional(design.document->name) : std::nullopt;
        fake.documentPath = design.document ? std::optional(design.document->path) : std::nullopt;
        *fake.design = design::dbus::readFlatStream(design.flatStream);
        fake.vanishOnLoad = tool == "vanish";
        const auto connect = [&]() -> std::unique_ptr<design::SchematicTool> {
            if (tool == "none" || tool == "nobus") {
                throw Error(tool == "none" ? errc::ToolNotRunning : errc::NoSessionBus, tool);
            }
            return fake.connector()();
        };
        if (c.contains("bus-only")) {
            return std::nullopt;
        }
        std::ostringstream out, err;
        try {
            const Command command = parseCommandLine(arguments);
            return test::ReportRun{runCommand(command, connect, out, err), out.str(), err.str()};
        } catch (const UsageError& usage) {  // as main() reports it
            return test::ReportRun{
                exitUsage, "", "vexlo-report: " + usage.message + "\nTry 'vexlo-report --help'.\n"};
        }
    });
}

}  // namespace
}  // namespace vexlo::cli
