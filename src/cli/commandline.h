#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "operations/operations.h"
#include "operations/session.h"

namespace vexlo::cli {

enum class Mode { Help, List, Attributes, All, Selection, Columns, Bom };

// What one run of vexlo-report was asked to do.
struct Command {
    Mode mode = Mode::Help;
    std::string selection;                 // --selection
    std::vector<std::string> columns;      // --column, in order
    bool compress = false;                 // --compress
    std::vector<std::string> keys;         // --key, in order
    std::optional<report::Format> format;  // --format, overriding the settings file
    // --exclude NAME=VALUES, --refdes-order and --xlsx, overriding the settings file
    std::optional<report::Exclusion> exclude;
    std::optional<report::RefdesOrder> refdesOrder;
    bool xlsx = false;
    std::string output;         // --output: the base the reports are named from
    std::string design;         // --design: read this design file instead of asking the tool
    std::string variant;        // --variant, with --design
    bool open = false;          // --open
    bool timings = false;       // --timings
    std::string compare;        // --compare: the older revision's design file
    bool compareAll = false;    // --compare-all
    bool failOnChange = false;  // --fail-on-change
    bool failOnMixed = false;   // --fail-on-mixed
};

// Reads the arguments (without the program name). A command line that cannot be understood
// throws Error BadCommandLine, its text saying why.
Command parseCommandLine(const std::vector<std::string>& arguments);

// The --help page, its formats taken from the writers.
std::string helpText();

// Exit statuses.
constexpr int exitSuccess = 0;
constexpr int exitReportFailed = 1;
constexpr int exitUsage = 2;
constexpr int exitToolNotRunning = 3;  // or no session bus to find it on
constexpr int exitChanged = 4;         // --fail-on-change, and something changed
constexpr int exitMixed = 5;           // --fail-on-mixed, and a merged row joins differing parts

// Carries out a command against the tool: reports go where the window writes them, their paths
// one a line on out, failures on err. Returns the exit status.
int runCommand(const Command& command, const design::ToolConnector& connect, std::ostream& out,
               std::ostream& err);

}  // namespace vexlo::cli
