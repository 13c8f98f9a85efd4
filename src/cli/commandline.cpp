#include "cli/commandline.h"

#include <ostream>

#include "common/error.h"
#include "design/harvest.h"
#include "operations/operations.h"

namespace vexlo::cli {

const char* const helpText = R"(Usage: vexlo-report MODE [--format FORMAT] [--open]

Writes bills of materials of the design open in the running schematic tool, as the Vexlo
window writes them, and prints the full path of each report written, one a line.

Modes (exactly one):
  --all                 every saved selection, in file order, each into its own report
                        (the selection's name after "_" in the file name), as "Load All" does
  --selection NAME      one saved selection, as "Load Choices" does
  --column NAME ...     an ad-hoc column list (repeat --column, in order), as "Create Report"
      [--compress]      writes it; --compress groups rows by the key and appends the "QTY"
      [--key NAME]      column, as checking "Compress" does; compressing needs --key
  --list                print the names of the saved selections
  --attributes          print the design's attribute names, in the order first met
  --help                this text
  --version             print the program's name and version

Options:
  --format FORMAT       excel, text, html or csv (or 0 to 3) for this run; otherwise the
                        settings file "vexlosettings.qzv" decides
  --open                show each report with xdg-open
  --timings             after each report, print on standard error the seconds spent
                        fetching the design, building the table and writing the file

The data files are found as the window finds them: in the tool's project folder, else in the
first folder of QOSP (folders separated by ":") that holds them.

Exit status: 0 success, 1 a report failed, 2 usage error, 3 the schematic tool is not running.
)";

namespace {

int parseFormat(const std::string& text) {
    static const char* const names[] = {"excel", "text", "html", "csv"};
    for (int format = 0; format < 4; ++format) {
        if (text == names[format] || text == std::to_string(format)) {
            return format;
        }
    }
    throw UsageError{"unknown format \"" + text + "\" (use excel, text, html or csv)"};
}

void setMode(Command& command, Mode mode, const std::string& option) {
    if (command.mode != Mode::Help && command.mode != mode) {
        throw UsageError{"option " + option + " cannot be combined with another mode"};
    }
    command.mode = mode;
}

}  // namespace

Command parseCommandLine(const std::vector<std::string>& arguments) {
    Command command;
    bool help = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) {
                throw UsageError{"option " + option + " needs a value"};
            }
            return arguments[++i];
        };
        if (option == "--help" || option == "-h") {
            help = true;
        } else if (option == "--all") {
            setMode(command, Mode::All, option);
        } else if (option == "--list") {
            setMode(command, Mode::List, option);
        } else if (option == "--attributes") {
            setMode(command, Mode::Attributes, option);
        } else if (option == "--selection") {
            setMode(command, Mode::Selection, option);
            command.selection = value();
        } else if (option == "--column") {
            setMode(command, Mode::Columns, option);
            command.columns.push_back(value());
        } else if (option == "--compress") {
            setMode(command, Mode::Columns, option);
            command.compress = true;
        } else if (option == "--key") {
            setMode(command, Mode::Columns, option);
            command.key = value();
        } else if (option == "--format") {
            command.format = parseFormat(value());
        } else if (option == "--open") {
            command.open = true;
        } else if (option == "--timings") {
            command.timings = true;
        } else {
            throw UsageError{"unknown argument \"" + option + "\""};
        }
    }
    if (help) {
        command.mode = Mode::Help;
    } else if (command.mode == Mode::Help) {
        throw UsageError{"no mode given (--all, --selection, --column, --list or --attributes)"};
    }
    return command;
}

namespace {

struct Run {
    const Command& command;
    operations::Session& session;
    std::ostream& out;
    std::ostream& err;
    options::Settings settings;

    report::ReportRequest baseRequest(report::ReportTimings* timings) const {
        report::ReportRequest request;
        request.settings = settings;
        request.showReport = command.open;
        request.timings = timings;
        return request;
    }

    void printTimings(const report::ReportTimings& timings) {
        if (command.timings) {
            err << "timings: fetch " << timings.fetchSeconds << " s, table " << timings.tableSeconds
                << " s, write " << timings.writeSeconds << " s\n";
        }
    }

    void printPath(const std::string& path) {
        if (!path.empty()) {
            out << path << '\n' << std::flush;
        }
    }

    // One report; its path printed, or its failure told. False when it failed.
    bool report(const report::ReportRequest& request) {
        try {
            printPath(operations::writeReport(session, request));
            printTimings(*request.timings);
            return true;
        } catch (const std::exception& failure) {
            const Error error = asError(failure);
            if (error.number == errc::ToolNotRunning) {
                throw error;  // no report can follow: the run ends with the tool's status
            }
            err << "vexlo-report: " << errorMessage(error) << '\n';
            return false;
        }
    }

    int selection() {
        report::ReportTimings timings;
        const auto loaded = operations::loadChoice(session, command.selection);
        // As the window does, a selection file that cannot be read leaves the column list as it
        // stood (here: empty) and the name out of the report's file name.
        const bool written = loaded ? report(operations::selectionRequest(
                                          *loaded, command.selection, baseRequest(&timings)))
                                    : report(baseRequest(&timings));
        return written ? exitSuccess : exitReportFailed;
    }

    int all() {
        const auto names = operations::listSelections(session);
        if (!names) {
            throw Error(errc::FileNotFound, "Cannot read the saved selections from \"" +
                                                session.dataFile(saved::selectionFileName) + "\"");
        }
        bool allWritten = true;
        report::ReportTimings timings;
        operations::reportAll(
            session, *names, baseRequest(&timings), [&](const operations::BatchEntry& entry) {
                if (entry.failure && entry.failure->number == errc::ToolNotRunning) {
                    throw *entry.failure;
                }
                if (entry.failure) {
                    err << "vexlo-report: " << errorMessage(*entry.failure) << '\n';
                    allWritten = false;
                    return;
                }
                printPath(entry.path);
                printTimings(timings);
                timings = {};
            });
        return allWritten ? exitSuccess : exitReportFailed;
    }

    int columns() {
        report::ReportTimings timings;
        report::ReportRequest request = baseRequest(&timings);
        request.columns = operations::columnList(command.columns, command.compress);
        request.compress = command.compress ? 1 : 0;
        request.key = command.key;
        if (operations::lacksKey(request)) {
            err << "vexlo-report: " << operations::missingKeyMessage << '\n';
            return exitReportFailed;
        }
        return report(request) ? exitSuccess : exitReportFailed;
    }

    int list() {
        const auto names = operations::listSelections(session);
        for (const auto& name : names.value_or(std::vector<std::string>{})) {
            out << name << '\n';
        }
        return exitSuccess;
    }

    int attributes() {
        for (const auto& name : design::harvestAttributeNames(*session.design())) {
            out << name << '\n';
        }
        return exitSuccess;
    }
};

}  // namespace

int runCommand(const Command& command, const design::ToolConnector& connect, std::ostream& out,
               std::ostream& err) {
    if (command.mode == Mode::Help) {
        out << helpText;
        return exitSuccess;
    }
    std::unique_ptr<design::SchematicTool> tool;
    try {
        tool = connect();
    } catch (const Error&) {
        err << "vexlo-report: " << operations::toolNotRunningMessage << '\n';
        return exitToolNotRunning;
    }
    operations::Session session(*tool);
    Run run{command, session, out, err, {}};
    try {
        operations::loadSettings(session, run.settings);
        if (command.format) {
            run.settings.Export_File_Format = static_cast<std::int16_t>(*command.format);
        }
        switch (command.mode) {
            case Mode::List:
                return run.list();
            case Mode::Attributes:
                return run.attributes();
            case Mode::All:
                return run.all();
            case Mode::Selection:
                return run.selection();
            case Mode::Columns:
                return run.columns();
            case Mode::Help:
                break;
        }
    } catch (const std::exception& failure) {
        const Error error = asError(failure);
        err << "vexlo-report: " << errorMessage(error) << '\n';
        // The tool went away during the run.
        return error.number == errc::ToolNotRunning ? exitToolNotRunning : exitReportFailed;
    }
    return exitSuccess;
}

}  // namespace vexlo::cli
