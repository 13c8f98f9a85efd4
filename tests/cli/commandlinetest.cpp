#include "cli/commandline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/error.h"
#include "fakeproject.h"
#include "faketool.h"
#include "testsupport.h"

namespace vexlo::cli {
namespace {

using design::makeComponent;
using test::crlf;
using test::readFile;
using test::writeFile;
using Args = std::vector<std::string>;

// --- Parsing ---

struct UsageCase {
    const char* title;
    Args arguments;
    const char* message;
};

class Usage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(Usage, IsRefusedWithReason) {
    try {
        parseCommandLine(GetParam().arguments);
        FAIL() << "accepted";
    } catch (const UsageError& error) {
        EXPECT_EQ(error.message, GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Usage,
    ::testing::Values(
        UsageCase{
            "NoMode", {}, "no mode given (--all, --selection, --column, --list or --attributes)"},
        UsageCase{"FormatOnly",
                  {"--format", "csv"},
                  "no mode given (--all, --selection, --column, --list or --attributes)"},
        UsageCase{"UnknownOption", {"--all", "--fast"}, "unknown argument \"--fast\""},
        UsageCase{
            "TwoModes", {"--all", "--list"}, "option --list cannot be combined with another mode"},
        UsageCase{"SelectionAndColumns",
                  {"--selection", "A", "--column", "B"},
                  "option --column cannot be combined with another mode"},
        UsageCase{"MissingValue", {"--selection"}, "option --selection needs a value"},
        UsageCase{"BadFormat",
                  {"--all", "--format", "pdf"},
                  "unknown format \"pdf\" (use excel, text, html or csv)"},
        UsageCase{"FormatOutOfRange",
                  {"--all", "--format", "4"},
                  "unknown format \"4\" (use excel, text, html or csv)"}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(ParseCommandLine, ColumnsInOrderWithCompressKeyAndFormat) {
    const Command command =
        parseCommandLine({"--column", "REFDES", "--compress", "--column", "Value", "--key", "Value",
                          "--format", "html", "--open"});
    EXPECT_EQ(command.mode, Mode::Columns);
    EXPECT_EQ(command.columns, (Args{"REFDES", "Value"}));
    EXPECT_TRUE(command.compress);
    EXPECT_EQ(command.key, "Value");
    EXPECT_EQ(command.format, 2);
    EXPECT_TRUE(command.open);
}

TEST(ParseCommandLine, FormatsByNameAndNumber) {
    EXPECT_EQ(parseCommandLine({"--all", "--format", "excel"}).format, 0);
    EXPECT_EQ(parseCommandLine({"--all", "--format", "1"}).format, 1);
    EXPECT_EQ(parseCommandLine({"--all", "--format", "csv"}).format, 3);
    EXPECT_FALSE(parseCommandLine({"--all"}).format.has_value());
}

TEST(ParseCommandLine, HelpWinsOverEverything) {
    EXPECT_EQ(parseCommandLine({"--all", "--help"}).mode, Mode::Help);
}

// --- Running against an in-memory tool ---

class RunCommand : public ::testing::Test {
protected:
    RunCommand() {
        test::serveProjectIn(tool, project, "amp");
        auto part = [](const char* refdes, const char* value) {
            return makeComponent(refdes, {{"REFDES", refdes}, {"Value", value}},
                                 {{"Footprint", "0603"}});
        };
        tool.design->components = {part("R1", "1k"), part("R2", "1k"), part("C1", "100n")};
        writeFile(project.file("vexloattributes.qzv"),
                  crlf({"** Board", "REFDES", "Value", "QTY", "==Value", "** Plain", "Value"}));
    }

    int run(const Args& arguments) {
        out.str("");
        err.str("");
        return runCommand(parseCommandLine(arguments), tool.connector(), out, err);
    }

    test::TempDir project;
    design::FakeTool tool;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(RunCommand, ListPrintsNamesInFileOrder) {
    EXPECT_EQ(run({"--list"}), exitSuccess);
    EXPECT_EQ(out.str(), "Board\nPlain\n");
}

TEST_F(RunCommand, AttributesInHarvestOrder) {
    EXPECT_EQ(run({"--attributes"}), exitSuccess);
    EXPECT_EQ(out.str(), "REFDES\nValue\nFootprint\n");
}

TEST_F(RunCommand, SelectionIsWrittenUnderItsName) {
    EXPECT_EQ(run({"--selection", "Board", "--format", "csv"}), exitSuccess);
    EXPECT_EQ(out.str(), project.file("amp_Board.csv") + "\n");
    EXPECT_EQ(readFile(project.file("amp_Board.csv")),
              crlf({"REFDES,Value,QTY", "C1,100n,1", "\"R1, R2\",1k,2"}));
    EXPECT_EQ(err.str(), "");
}

TEST_F(RunCommand, UnknownSelectionReportsAnEmptyColumnList) {
    EXPECT_EQ(run({"--selection", "Nope", "--format", "text"}), exitSuccess);
    EXPECT_EQ(out.str(), project.file("amp_Nope.txt") + "\n");
}

TEST_F(RunCommand, AllWritesEverySelectionInFileOrder) {
    EXPECT_EQ(run({"--all", "--format", "csv"}), exitSuccess);
    EXPECT_EQ(out.str(),
              project.file("amp_Board.csv") + "\n" + project.file("amp_Plain.csv") + "\n");
    EXPECT_EQ(readFile(project.file("amp_Plain.csv")), crlf({"Value", "1k", "1k", "100n"}));
}

TEST_F(RunCommand, ColumnsAsCreateReportWithQtyAppended) {
    EXPECT_EQ(run({"--column", "Value", "--column", "REFDES", "--compress", "--key", "Value",
                   "--format", "csv"}),
              exitSuccess);
    EXPECT_EQ(readFile(project.file("amp.csv")),
              crlf({"Value,REFDES,QTY", "100n,C1,1", "1k,\"R1, R2\",2"}));
}

TEST_F(RunCommand, CompressWithoutKeyIsRefused) {
    EXPECT_EQ(run({"--column", "Value", "--compress", "--format", "csv"}), exitReportFailed);
    EXPECT_EQ(err.str(),
              "vexlo-report: You have selected to Compress Report, you must select a Key. Select "
              "the key in the Attribute Selected list and select the 'Add Key' button\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(std::filesystem::exists(project.file("amp.csv")));
}

TEST_F(RunCommand, SettingsFileDecidesTheFormatUnlessOverridden) {
    writeFile(project.file("vexlosettings.qzv"), crlf({"Export_File_Format=2"}));
    EXPECT_EQ(run({"--column", "Value"}), exitSuccess);
    EXPECT_EQ(out.str(), project.file("amp.html") + "\n");
    EXPECT_EQ(run({"--column", "Value", "--format", "text"}), exitSuccess);
    EXPECT_EQ(out.str(), project.file("amp.txt") + "\n");
}

TEST_F(RunCommand, TimingsArePrintedPerReport) {
    EXPECT_EQ(run({"--all", "--format", "csv", "--timings"}), exitSuccess);
    const std::string errors = err.str();
    EXPECT_EQ(errors.rfind("timings: fetch ", 0), 0u) << errors;
    std::size_t lines = 0;
    for (std::size_t at = errors.find("timings: "); at != std::string::npos;
         at = errors.find("timings: ", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 2u);
}

TEST_F(RunCommand, FormatWithoutWriterFails) {
    writeFile(project.file("vexlosettings.qzv"), crlf({"Export_File_Format=7"}));
    EXPECT_EQ(run({"--column", "Value"}), exitReportFailed);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(),
              "vexlo-report: Error 1012: The output format 7 has no report writer (0 Excel, 1 "
              "Text, 2 HTML, 3 CSV)\n");
}

TEST_F(RunCommand, ToolNotRunningExitsWithThree) {
    std::ostringstream output;
    std::ostringstream errors;
    const int status = runCommand(
        parseCommandLine({"--list"}),
        []() -> std::unique_ptr<design::SchematicTool> {
            throw Error(errc::ToolNotRunning, "not running");
        },
        output, errors);
    EXPECT_EQ(status, exitToolNotRunning);
    EXPECT_EQ(errors.str(),
              "vexlo-report: You need to have Trelmo Schemora Open to run this program!\n");
}

// A tool that closes during the run ends it with the tool's status, in every report mode.
TEST_F(RunCommand, ToolClosingDuringTheRunExitsWithThree) {
    tool.vanishOnLoad = true;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--column", "Value"}, {"--selection", "Board"}, {"--all"}}) {
        SCOPED_TRACE(arguments.front());
        EXPECT_EQ(run(arguments), exitToolNotRunning);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(),
                  "vexlo-report: Error 429: The schematic tool is not running (it closed before "
                  "answering LoadGroupFlatten)\n");
    }
}

TEST_F(RunCommand, UnwritableOutputFolderFailsAndReportsNothingWritten) {
    // The output folder is a file, so nothing can be created in it.
    tool.documentPath = project.file("blocked/sch/");
    writeFile(project.file("blocked"), "");
    EXPECT_EQ(run({"--column", "Value", "--format", "csv"}), exitReportFailed);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str().rfind("vexlo-report: Error ", 0), 0u) << err.str();
}

TEST_F(RunCommand, HelpNamesEveryOption) {
    EXPECT_EQ(run({"--help"}), exitSuccess);
    for (const char* option :
         {"--all", "--selection", "--column", "--compress", "--key", "--format", "--list",
          "--attributes", "--open", "--timings", "--help"}) {
        EXPECT_NE(out.str().find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace vexlo::cli
