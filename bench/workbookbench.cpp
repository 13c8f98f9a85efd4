// Times the workbook engine on a report of 100,000 rows of 11 columns: writing the cells,
// formatting and fitting them, grouping (which deletes about half the rows in one batch) and
// saving; blank and from a template. Each case runs in a process of its own, so the peak
// resident size it prints is that case's own. Prints figures; checks nothing.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "benchtemplate.h"
#include "common/error.h"
#include "workbook/workbook.h"

namespace {

namespace fs = std::filesystem;
using vexlo::workbook::CellRange;
using vexlo::workbook::CellStyleChange;
using vexlo::workbook::HorizontalAlignment;
using vexlo::workbook::Workbook;
using vexlo::workbook::Worksheet;

constexpr int dataRows = 100000;
constexpr int columns = 11;
constexpr int startRow = 5;

double peakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

class Phases {
public:
    explicit Phases(std::string name) : name_(std::move(name)) {}

    template <typename Work>
    void run(const char* phase, Work work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        total_ += took.count();
        std::printf("  %-34s %-10s %8.3f s   peak RSS %7.1f MB\n", name_.c_str(), phase,
                    took.count(), peakMegabytes());
    }
    ~Phases() { std::printf("  %-34s %-10s %8.3f s\n", name_.c_str(), "total", total_); }

private:
    std::string name_;
    double total_ = 0;
};

// Rows of a bill of materials: reference, quantity and nine attributes, several repeating.
std::string field(int row, int column) {
    switch (column) {
        case 1:
            return "R" + std::to_string(row);
        case 2:
            return "1";
        case 3:
            return std::to_string((row / 2) % 97 * 100) + "k";
        case 4:
            return row % 3 == 0 ? "0603" : "0402";
        case 5:
            return "RC0603FR-07" + std::to_string((row / 2) % 97) + "KL";
        case 6:
            return std::to_string(row % 50 + 1) + ".5";
        default:
            return "attribute " + std::to_string(column) + " of part " + std::to_string(row / 2);
    }
}

void writeRows(Worksheet& sheet) {
    for (int column = 1; column <= columns; ++column) {
        sheet.setValue(startRow, column, "Column " + std::to_string(column));
    }
    for (int row = 1; row <= dataRows; ++row) {
        for (int column = 1; column <= columns; ++column) {
            sheet.setValue(startRow + row, column, field(row, column));
        }
    }
}

void format(Worksheet& sheet) {
    const CellRange values{startRow, 1, startRow + dataRows + 1, columns};
    const CellRange header{startRow, 1, startRow, columns};
    // One change a property, as a report's options apply them.
    CellStyleChange fonts[2], sizes[2], alignments[2];
    fonts[0].bold = false;
    fonts[0].italic = true;
    fonts[1].bold = true;
    fonts[1].italic = false;
    sizes[0].size = 10.0;
    sizes[1].size = 12.0;
    alignments[0].alignment = HorizontalAlignment::Left;
    alignments[1].alignment = HorizontalAlignment::Center;
    for (const CellStyleChange* changes : {fonts, sizes, alignments}) {
        sheet.applyStyle(values, changes[0]);
        sheet.applyStyle(header, changes[1]);
    }
    sheet.autoFitColumns(values);
}

// Grouping: each pair of rows has the same key; the lower row merges into the upper one and
// all merged rows are deleted in one batch.
void group(Worksheet& sheet) {
    std::vector<int> merged;
    for (int row = startRow + 1; row + 1 <= startRow + dataRows; row += 2) {
        sheet.setValue(row, 1, sheet.text(row, 1) + ", " + sheet.text(row + 1, 1));
        sheet.setValue(row, 2, "2");
        merged.push_back(row + 1);
    }
    sheet.deleteRows(merged);
    sheet.autoFitColumns({startRow, 1, startRow + dataRows + 1, columns});
}

void runCase(const std::string& folder, bool fromTemplate, bool grouped) {
    const std::string name = std::string(fromTemplate ? "template" : "blank") +
                             (grouped ? ", 50,000 rows deleted" : ", no deletion");
    const std::string templatePath = fromTemplate ? vexlo::bench::makeTemplate(folder) : "";
    const std::string output = folder + "/report.xls";
    {
        Phases phases(name);
        Workbook workbook = Workbook::blank();
        phases.run("open", [&] {
            if (fromTemplate) {
                workbook = Workbook::open(templatePath);
            }
        });
        Worksheet& sheet = workbook.firstSheet();
        phases.run("write", [&] { writeRows(sheet); });
        phases.run("format", [&] { format(sheet); });
        if (grouped) {
            phases.run("group", [&] { group(sheet); });
        }
        phases.run("save", [&] { workbook.saveAs(output); });
    }
    std::printf("  %-34s %-10s %8.1f MB on disk\n", name.c_str(), "file",
                static_cast<double>(fs::file_size(output)) / 1e6);
    Phases reading(name);
    reading.run("reopen", [&] { Workbook::open(output); });
}

}  // namespace

int main() {
    const std::string folder = (fs::temp_directory_path() / "vexlo-workbook-bench").string();
    fs::create_directories(folder);
    std::printf("workbook engine, %d rows x %d columns\n", dataRows, columns);
    for (const bool fromTemplate : {false, true}) {
        for (const bool grouped : {false, true}) {
            std::fflush(stdout);
            const pid_t child = ::fork();
            if (child == 0) {
                try {
                    runCase(folder, fromTemplate, grouped);
                } catch (const vexlo::Error& error) {
                    std::printf("%s\n", vexlo::errorMessage(error).c_str());
                    std::_Exit(1);
                }
                std::fflush(stdout);
                std::_Exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
        }
    }
    fs::remove_all(folder);
    return 0;
}
