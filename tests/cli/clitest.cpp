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

// Each case of report.case as a test of VexloReportInProcess.
const bool inProcess = test::registerReportCases(
    "VexloReportInProcess", false,
    [](const test::GoldenCase& c, const sim::Design& design, const test::Lines& arguments,
       const std::string&) -> std::optional<test::ReportRun> {
        const std::string tool = test::key(c, "tool", "sim");
        design::FakeTool fake;
        fake.project = design.project;
        fake.documentName = design.document ? std::optional(design.document->name) : std::nullopt;
        fake.documentPath = design.document ? std::optional(design.document->path) : std::nullopt;
        *fake.design = dbus::readFlatStream(design.flatStream);
        fake.vanishOnLoad = tool == "vanish";
        const auto connect = [&]() -> std::unique_ptr<design::SchematicTool> {
            if (tool == "none" || tool == "nobus") {
                throw Error(tool == "none" ? errc::ToolNotRunning : errc::NoSessionBus, tool);
            }
            return fake.connector()();
        };
        std::ostringstream out, err;
        try {
            const Command command = parseCommandLine(arguments);
            return test::ReportRun{runCommand(command, connect, out, err), out.str(), err.str()};
        } catch (const Error& usage) {  // as main() reports it
            return test::ReportRun{
                exitUsage, "",
                "vexlo-report: " + usage.message() + "\nTry 'vexlo-report --help'.\n"};
        }
    });

// The README's one command line for KiCad's Generate BOM dialog, with %I and %O as KiCad gives
// them, the words after the program's name.
std::vector<std::string> readmeBomLine(const std::string& netlist, const std::string& base) {
    std::istringstream readme(test::readFile(test::sourceDir() + "/README.md"));
    std::vector<std::string> found;
    bool inBlock = false;
    for (std::string line; std::getline(readme, line);) {
        inBlock = line.starts_with("```") ? !inBlock : inBlock;
        if (inBlock && line.find("%I") != std::string::npos &&
            line.find("%O") != std::string::npos) {
            for (const auto& [mark, path] : {std::pair{"\"%I\"", netlist}, {"\"%O\"", base}}) {
                line.replace(line.find(mark), 4, path);
            }
            found = test::words(line, "");
        }
    }
    EXPECT_EQ(found.at(0), "vexlo-report");
    return {found.begin() + 1, found.end()};
}

// That line run as KiCad runs it, in a demo project whose netlist KiCad has just written: the
// grouped BOM under %O on the first run, when the project has no file of Vexlo's, and the saved
// selection's too once there is one; nothing else is written.
TEST(VexloReport, TheReadmesGenerateBomLineWorksOnTheFirstClick) {
    const test::TempDir dir;
    std::filesystem::copy("/usr/share/kicad/demos/complex_hierarchy", dir.path());
    std::filesystem::copy_file(
        test::sourceDir() + "/tests/designfile/data/kicad6-netlists/complex_hierarchy.xml",
        dir.file("complex_hierarchy.xml"));
    const Command command = parseCommandLine(
        readmeBomLine(dir.file("complex_hierarchy.xml"), dir.file("complex_hierarchy")));
    const std::vector<std::string> before = test::listTree(dir.path());
    const std::string bom = dir.file("complex_hierarchy.xlsx");
    const std::string golden = test::sourceDir() + "/tests/cli/kicadbom.golden";
    std::string sheets = test::readFile(golden);
    for (const bool saved : {false, true}) {
        const std::string selection = dir.file("complex_hierarchy_Parts.xlsx");
        if (saved) {
            test::writeFile(dir.file("vexloattributes.qzv"),
                            test::crlf({"** Parts", "REFDES", "Value", "Sheetpath"}));
        }
        std::ostringstream out, err;
        EXPECT_EQ(runCommand(command, {}, out, err), exitSuccess);
        EXPECT_EQ(out.str(), bom + "\n" + (saved ? selection + "\n" : ""));
        EXPECT_EQ(err.str(), "");
        std::vector<std::string> expected = before;
        expected.push_back("complex_hierarchy.xlsx");
        if (saved) {
            expected.insert(expected.end(),
                            {"complex_hierarchy_Parts.xlsx", "vexloattributes.qzv"});
        }
        std::ranges::sort(expected);
        EXPECT_EQ(test::listTree(dir.path()), expected);
        const std::string written =
            test::sheetText(bom) + (saved ? "---\n" + test::sheetText(selection) : "");
        if (saved && std::getenv("VEXLO_UPDATE_GOLDEN") != nullptr) {
            test::writeFile(golden, sheets = written);
        }
        EXPECT_EQ(written, saved ? sheets : sheets.substr(0, sheets.find("---\n")));
    }
}

}  // namespace
}  // namespace vexlo::cli
