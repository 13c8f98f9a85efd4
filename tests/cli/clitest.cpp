// The golden cases in this process, against an in-memory tool serving the case's design.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/commandline.h"
#include "common/error.h"
#include "dbus/flatstream.h"
#include "faketool.h"
#include "golden.h"
#include "testsupport.h"

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

// One report of the design file, read and removed, and its warnings.
std::pair<std::string, std::string> reportOf(const std::string& design,
                                             std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--design", design});
    std::ostringstream out, err;
    EXPECT_EQ(runCommand(parseCommandLine(arguments), {}, out, err), exitSuccess) << err.str();
    const std::string path = out.str().substr(0, out.str().find('\n'));
    std::string bytes = test::readFile(path);
    std::filesystem::remove(path);
    return {bytes, err.str()};
}

// The netlists KiCad wrote for three of its demo projects give the reports of the projects,
// byte for byte, in every format, flat and compressed, in both designator orders.
TEST(VexloReport, AKicadNetlistReportsAsItsProject) {
    const std::vector<std::string> columns{
        "--column", "Reference", "--column", "REFDES",    "--column", "Value",
        "--column", "Footprint", "--column", "Datasheet", "--column", "Description",
        "--column", "DNP",       "--column", "Sheetpath", "--column", "Champ4"};
    for (const std::string name : {"complex_hierarchy", "video", "pic_programmer"}) {
        SCOPED_TRACE(name);
        const test::TempDir dir;
        std::filesystem::copy("/usr/share/kicad/demos/" + name, dir.path(),
                              std::filesystem::copy_options::recursive);
        std::filesystem::copy_file(
            test::sourceDir() + "/tests/designfile/data/kicad6-netlists/" + name + ".xml",
            dir.file(name + ".xml"));
        for (const char* format : {"excel", "text", "html", "csv"}) {
            for (const char* order : {"natural", "found"}) {
                for (const bool compress : {false, true}) {
                    std::vector<std::string> arguments = columns;
                    arguments.insert(arguments.end(),
                                     {"--format", format, "--refdes-order", order});
                    if (compress) {
                        arguments.insert(arguments.end(), {"--compress", "--key", "Value"});
                    }
                    const auto fromNetlist = reportOf(dir.file(name + ".xml"), arguments);
                    const auto fromProject = reportOf(dir.file(name + ".kicad_pro"), arguments);
                    EXPECT_TRUE(fromNetlist.first == fromProject.first)
                        << format << " " << order << " " << compress;
                    EXPECT_EQ(fromNetlist.second, fromProject.second);
                }
            }
        }
    }
}

}  // namespace
}  // namespace vexlo::cli
