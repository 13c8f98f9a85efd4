#include "cli/commandline.h"

#include <algorithm>
#include <ostream>

#include "common/characters.h"
#include "common/error.h"
#include "common/textfile.h"
#include "operations/operations.h"

namespace vexlo::cli {

namespace {

const char* const helpPage = R"(Usage: vexlo-report MODE [OPTION...]

Writes bills of materials of the design open in the running schematic tool, as the Vexlo
window writes them, and prints the full path of each report written, one a line.
With --design it reads the design from its file instead, with no tool and no bus.

Modes (exactly one):
  --all                 every saved selection, in file order, each into its own report
                        (the selection's name after "_" in the file name), as "Load All" does
  --selection NAME      one saved selection, as "Load Choices" does
  --column NAME ...     an ad-hoc column list (repeat --column, in order), as "Create Report"
      [--compress       writes it; --compress merges the rows whose values are equal in every
       --key NAME ...]  key column NAME (repeat --key for several keys, in order: --key Value
                        --key Footprint) and appends the "QTY" column, as checking "Compress"
                        does, unless a --column names it; each of the two needs the other, and
                        "QTY" is no key
  --bom                 a bill of materials for KiCad's Generate BOM dialog, whatever the project
                        holds: REFDES, Value, Footprint, DNP and QTY, merged by Value, Footprint
                        and DNP, the designators in natural order with ranges (unless
                        --refdes-order is given), then every saved selection as --all does when
                        the project has a saved-selection file (none is no failure)
  --list                print the names of the saved selections
  --attributes          print the design's attribute names, in the order first met
  --help                this text
  --version             print the program's name and version

Settings for this run (otherwise the settings file "vexlosettings.qzv" decides):
  --format FORMAT       $FORMATS, in any letter case (or 0 to $LAST)
  --exclude NAME=VALUES leave out the parts whose attribute NAME holds one of the values
                        separated by "," (letter case and blanks around ignored), such as
                        --exclude Fitted=DNP,NF
  --refdes-order ORDER  designators in merged rows, and rows when not compressing: found (as
                        the design lists them), natural (R1, R2, R10) or ranges (natural, runs
                        of three or more written R1-R4)
  --xlsx                name the workbook report ".xlsx" instead of ".xls"

The design (otherwise the running schematic tool's open design):
  --design FILE         a KiCad project (.kicad_pro) or root sheet (.kicad_sch) of KiCad 6.0
                        to 10.0, KiCad's XML netlist (.xml) or a JSON design file; the reports
                        and data files go in its project folder
  --variant NAME        with --design: apply the KiCad variant NAME (its do-not-populate and
                        exclude-from-BOM marks and its field values), to --compare's file too

Comparing two revisions (with --all, --selection, --column or --bom):
  --compare OLD         write, instead of each report, what changed from the design file OLD
                        (any file --design takes) to this design: the parts or keys added,
                        removed and changed, named like the report with "_changes" before the
                        extension; prints each path, and on standard error a line
                        "NAME: 2 added, 1 removed, 3 changed" (NAME the selection's, or the
                        design's for --column)
  --compare-all         with --compare: keep the rows that did not change, marked "same"
  --fail-on-change      with --compare: exit with status 4 when anything changed

Merged rows that join parts that differ (a resistor and a potentiometer of one value, say):
  each report with such rows is written all the same, and a line on standard error names them:
  "NAME: 1 merged row joins parts that differ: 4,7K: Footprint differs (R11, R21 | RV1, RV2);
  add Footprint to the key"
  --fail-on-mixed       exit with status 5 when a report has such a row

Other options:
  --output BASE         name the reports BASE + extension (BASE_NAME + extension for the saved
                        selection NAME) instead of after the design, beside it
  --open                show each report with xdg-open
  --timings             after each report, print on standard error the seconds spent
                        fetching the design, building the table and writing the file

From KiCad's Generate BOM dialog (%I the netlist KiCad writes, %O the name it gives the BOM):
  vexlo-report --design "%I" --output "%O" --bom --xlsx

A --column that no component carries is reported empty, with a warning on standard error.
The data files are found as the window finds them: in the tool's project folder, else in the
first folder of QOSP (folders separated by ":") that holds them.

Exit status:
  0  success
  1  a report failed; or the saved-selection file is missing or cannot be read (--all,
     --selection, --list); or no saved selection has the name given to --selection; or the
     standard output could not be written (the reports are written all the same)
  2  usage error, or a design file given to --design that cannot be read or used
  3  the schematic tool cannot be reached: it is not running, or there is no D-Bus session bus
  4  with --fail-on-change: every comparison was written and something changed
  5  with --fail-on-mixed: every report was written and a merged row joins parts that differ
)";

}  // namespace

std::string helpText() {
    std::string text = helpPage;
    const auto replace = [&text](std::string_view field, const std::string& value) {
        text.replace(text.find(field), field.size(), value);
    };
    replace("$FORMATS", report::formatArguments());
    replace("$LAST", std::to_string(report::writers().size() - 1));
    return text;
}

namespace {

// The index of a value among names (any letter case) or its number; -1 when neither.
template <std::size_t count>
int choiceIndex(const std::string& text, const char* const (&names)[count]) {
    const std::string lower = lowerAscii(text);
    for (std::size_t index = 0; index < count; ++index) {
        if (lower == names[index] || text == std::to_string(index)) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

report::Format parseFormat(const std::string& text) {
    const std::string lower = lowerAscii(text);
    const auto writers = report::writers();
    for (std::size_t number = 0; number < writers.size(); ++number) {
        if (lower == writers[number]->argument() || text == std::to_string(number)) {
            return static_cast<report::Format>(number);
        }
    }
    throw Error(errc::BadCommandLine,
                "unknown format \"" + text + "\" (use " + report::formatArguments() + ")");
}

report::RefdesOrder parseRefdesOrder(const std::string& text) {
    static const char* const names[] = {"found", "natural", "ranges"};
    const report::RefdesOrder orders[] = {
        report::RefdesOrder::AsFound, report::RefdesOrder::Natural, report::RefdesOrder::Ranges};
    const int order = choiceIndex(text, names);
    if (order < 0) {
        throw Error(errc::BadCommandLine,
                    "unknown designator order \"" + text + "\" (use found, natural or ranges)");
    }
    return orders[order];
}

report::Exclusion parseExclusion(const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw Error(errc::BadCommandLine,
                    "option --exclude needs NAME=VALUES, not \"" + text + "\"");
    }
    return report::exclusionOf(text.substr(0, equals), std::string_view(text).substr(equals + 1));
}

void setMode(Command& command, Mode mode, const std::string& option) {
    if (command.mode != Mode::Help && command.mode != mode) {
        throw Error(errc::BadCommandLine,
                    "option " + option + " cannot be combined with another mode");
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
                throw Error(errc::BadCommandLine, "option " + option + " needs a value");
            }
            return arguments[++i];
        };
        if (option == "--help" || option == "-h") {
            help = true;
        } else if (option == "--all") {
            setMode(command, Mode::All, option);
        } else if (option == "--bom") {
            setMode(command, Mode::Bom, option);
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
            command.keys.push_back(value());
            if (command.keys.back() == "QTY") {
                throw Error(errc::BadCommandLine,
                            "option --key cannot be \"QTY\": it counts the parts of each "
                            "merged row; give the attributes that tell parts apart, such as "
                            "--key Value --key Footprint");
            }
        } else if (option == "--format") {
            command.format = parseFormat(value());
        } else if (option == "--exclude") {
            command.exclude = parseExclusion(value());
        } else if (option == "--refdes-order") {
            command.refdesOrder = parseRefdesOrder(value());
        } else if (option == "--xlsx") {
            command.xlsx = true;
        } else if (option == "--output") {
            command.output = value();
            if (command.output.empty() || command.output.ends_with('/')) {
                throw Error(errc::BadCommandLine,
                            "option --output needs a file name without its extension, not "
                            "\"" +
                                command.output + "\"");
            }
        } else if (option == "--design") {
            command.design = value();
            if (command.design.empty()) {
                throw Error(errc::BadCommandLine, "option --design needs a file name");
            }
        } else if (option == "--variant") {
            command.variant = value();
            if (command.variant.empty()) {
                throw Error(errc::BadCommandLine, "option --variant needs a variant name");
            }
        } else if (option == "--compare") {
            command.compare = value();
            if (command.compare.empty()) {
                throw Error(errc::BadCommandLine, "option --compare needs a file name");
            }
        } else if (option == "--compare-all") {
            command.compareAll = true;
        } else if (option == "--fail-on-change") {
            command.failOnChange = true;
        } else if (option == "--fail-on-mixed") {
            command.failOnMixed = true;
        } else if (option == "--open") {
            command.open = true;
        } else if (option == "--timings") {
            command.timings = true;
        } else {
            throw Error(errc::BadCommandLine, "unknown argument \"" + option + "\"");
        }
    }
    if (help) {
        command.mode = Mode::Help;
    } else if (command.mode == Mode::Help) {
        throw Error(errc::BadCommandLine,
                    "no mode given (--all, --selection, --column, --bom, --list or --attributes)");
    } else if (command.compress &&
               (command.keys.empty() ||
                std::find(command.keys.begin(), command.keys.end(), "") != command.keys.end())) {
        throw Error(errc::BadCommandLine, "option --compress needs --key NAME");
    } else if (!command.keys.empty() && !command.compress) {
        throw Error(errc::BadCommandLine, "option --key needs --compress");
    } else if (!command.variant.empty() && command.design.empty()) {
        throw Error(errc::BadCommandLine, "option --variant needs --design FILE");
    } else if (command.compare.empty() && (command.compareAll || command.failOnChange)) {
        throw Error(errc::BadCommandLine,
                    std::string("option ") +
                        (command.compareAll ? "--compare-all" : "--fail-on-change") +
                        " needs --compare OLD");
    } else if ((!command.compare.empty() || !command.output.empty()) &&
               (command.mode == Mode::List || command.mode == Mode::Attributes)) {
        throw Error(errc::BadCommandLine,
                    std::string("option ") + (command.compare.empty() ? "--output" : "--compare") +
                        " cannot be combined with " +
                        (command.mode == Mode::List ? "--list" : "--attributes"));
    }
    return command;
}

namespace {

struct Run {
    const Command& command;
    operations::Session& session;
    std::ostream& out;
    std::ostream& err;
    report::ReportOptions options;
    std::optional<operations::Comparison> comparison;  // --compare: what changed is written
    bool changed = false;                              // a comparison found a change
    bool mixed = false;                                // a report merged parts that differ

    std::string selectionFile() { return session.dataFile(saved::selectionFileName); }

    report::ReportRequest baseRequest(report::ReportTimings* timings) const {
        report::ReportRequest request;
        request.options = options;
        request.showReport = command.open;
        request.timings = timings;
        request.outputBase = command.output;
        return request;
    }

    void printPath(const std::string& path) {
        if (!path.empty()) {
            out << printable(path) << '\n' << std::flush;
        }
    }

    // A written entry's path, then on err what changed, or its merged rows that join parts
    // that differ and its timings; a failure told instead. The tool gone ends the run with its
    // status. False when it failed.
    bool print(const operations::BatchEntry& entry, const std::string& name,
               const report::ReportTimings& timings) {
        if (entry.failure) {
            if (entry.failure->number == errc::ToolNotRunning) {
                throw *entry.failure;  // no report can follow: the run ends with the tool's status
            }
            err << "vexlo-report: " << printable(errorMessage(*entry.failure)) << '\n';
            return false;
        }
        printPath(entry.report.path);
        if (entry.changes) {
            changed = changed || entry.changes->any();
            err << printable(operations::comparisonSummary(name, *entry.changes)) << '\n';
            return true;
        }
        if (!entry.report.mixed.empty()) {
            mixed = true;
            err << printable(name + ": " + operations::mixedRowsNote(entry.report.mixed)) << '\n';
        }
        if (command.timings) {
            err << "timings: fetch " << timings.fetchSeconds << " s, table " << timings.tableSeconds
                << " s, write " << timings.writeSeconds << " s\n";
        }
        return true;
    }

    // One report, or its comparison, under the name given (none: the design's). False when it
    // failed.
    bool report(const report::ReportRequest& request, const std::string& name) {
        operations::BatchEntry entry;
        operations::writeEntry(session, request, comparison ? &*comparison : nullptr, entry);
        // Asked once the report has fetched the design, so that the fetch is timed with it.
        return print(entry, name.empty() && !entry.failure ? session.source().designName : name,
                     *request.timings);
    }

    // Unlike the window, which reports an unknown name with the lists emptied, a script is
    // told of the typo and gets no report.
    int selection() {
        const auto selection = saved::loadSelectionFromFile(selectionFile(), command.selection,
                                                            saved::Reading::Strict);
        if (selection->sections == 0) {
            err << "vexlo-report: no saved selection named " << printable(command.selection)
                << '\n';
            return exitReportFailed;
        }
        report::ReportTimings timings;
        const bool written = report(
            operations::selectionRequest(*selection, command.selection, baseRequest(&timings)),
            command.selection);
        return written ? exitSuccess : exitReportFailed;
    }

    int all() {
        const auto names = *saved::readSelectionNames(selectionFile(), saved::Reading::Strict);
        bool allWritten = true;
        report::ReportTimings timings;
        operations::reportAll(
            session, names, baseRequest(&timings),
            [&](const operations::BatchEntry& entry) {
                allWritten = print(entry, entry.name, timings) && allWritten;
                timings = {};
            },
            comparison ? &*comparison : nullptr);
        return allWritten ? exitSuccess : exitReportFailed;
    }

    // One report of columns that are not a saved selection's, and a warning for each column no
    // component carries.
    int adHoc(const report::ReportRequest& request) {
        if (!report(request, "")) {
            return exitReportFailed;
        }
        for (const std::string& warning :
             operations::emptyColumnWarnings(session, request.columns)) {
            err << "vexlo-report: " << printable(warning) << '\n';
        }
        return exitSuccess;
    }

    int columns() {
        report::ReportTimings timings;
        report::ReportRequest request = baseRequest(&timings);
        request.columns = operations::columnList(command.columns, command.compress);
        request.compress = command.compress;
        request.keys = command.keys;
        return adHoc(request);
    }

    // The default bill of materials, then the saved selections when there are any: a project
    // that has none yet (every project, the first time) is no failure.
    int bom() {
        report::ReportTimings timings;
        const int status = adHoc(
            operations::defaultBomRequest(baseRequest(&timings), command.refdesOrder.has_value()));
        if (!fileExists(selectionFile())) {
            return status;
        }
        const int selections = all();
        return status == exitSuccess ? selections : status;
    }

    int list() {
        const auto names = saved::readSelectionNames(selectionFile(), saved::Reading::Strict);
        for (const auto& name : *names) {
            out << printable(name) << '\n';
        }
        return exitSuccess;
    }

    int attributes() {
        for (const auto& name : operations::attributeNames(session)) {
            out << printable(name) << '\n';
        }
        return exitSuccess;
    }
};

// The options the command line overrides for this run.
void applyOverrides(const Command& command, report::ReportOptions& options) {
    if (command.format) {
        options.format = *command.format;
    }
    if (command.exclude) {
        options.exclusion = *command.exclude;
    }
    if (command.refdesOrder) {
        options.order = *command.refdesOrder;
    }
    if (command.xlsx) {
        options.xlsx = true;
    }
}

int runReports(const Command& command, const design::ToolConnector& connect, std::ostream& out,
               std::ostream& err) {
    if (command.mode == Mode::Help) {
        out << helpText();
        return exitSuccess;
    }
    std::unique_ptr<design::SchematicTool> tool, oldTool;
    try {
        // The older revision is read first: a file that cannot be read is a usage error.
        if (!command.compare.empty()) {
            oldTool = operations::openDesignFile(command.compare, command.variant);
        }
        tool = command.design.empty() ? connect()
                                      : operations::openDesignFile(command.design, command.variant);
    } catch (const Error& failure) {
        if (failure.number == errc::BadDesignFile) {
            err << "vexlo-report: " << printable(failure.message()) << '\n';
            return exitUsage;
        }
        err << "vexlo-report: "
            << (failure.number == errc::NoSessionBus ? operations::noSessionBusMessage
                                                     : operations::toolNotRunningMessage)
            << '\n';
        return exitToolNotRunning;
    }
    operations::Session session(*tool);
    std::optional<operations::Session> oldSession;
    Run run{command, session, out, err, {}, {}};
    if (oldTool) {
        // The open design is named in the title by its file, or by the tool's document.
        run.comparison = operations::Comparison{&oldSession.emplace(*oldTool), command.compare,
                                                command.design, command.compareAll};
    }
    try {
        switch (command.mode) {
            case Mode::List:
                return run.list();
            case Mode::Attributes:
                return run.attributes();
            default:
                break;
        }
        // Only the reports use the settings: a file that cannot be read fails them.
        settings::Settings fields;
        operations::loadSettings(session, fields);
        run.options = settings::reportOptions(fields);
        applyOverrides(command, run.options);
        int status = exitSuccess;
        switch (command.mode) {
            case Mode::All:
                status = run.all();
                break;
            case Mode::Selection:
                status = run.selection();
                break;
            case Mode::Bom:
                status = run.bom();
                break;
            default:
                status = run.columns();
        }
        if (status == exitSuccess && run.changed && command.failOnChange) {
            return exitChanged;
        }
        return status == exitSuccess && run.mixed && command.failOnMixed ? exitMixed : status;
    } catch (const std::exception& failure) {
        const Error error = asError(failure);
        err << "vexlo-report: " << printable(errorMessage(error)) << '\n';
        // The tool went away during the run.
        return error.number == errc::ToolNotRunning ? exitToolNotRunning : exitReportFailed;
    }
    return exitSuccess;
}

}  // namespace

int runCommand(const Command& command, const design::ToolConnector& connect, std::ostream& out,
               std::ostream& err) {
    const int status = runReports(command, connect, out, err);
    // A closed output (a pipe whose reader left) stops no report, but a script must hear that
    // it was not told of them all.
    if (!out.flush()) {
        err << "vexlo-report: the standard output could not be written: what was to be printed "
               "there is incomplete\n";
        return status == exitSuccess ? exitReportFailed : status;
    }
    return status;
}

}  // namespace vexlo::cli
