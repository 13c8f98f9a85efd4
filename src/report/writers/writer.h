#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/options/request.h"
#include "report/table/table.h"

namespace vexlo::report {

struct Comparison;

// A report's table as every writer takes it: its rows, merged when compressing, and beside them
// what a workbook sheet needs to end as if every part's row had been written and the merged ones
// deleted.
struct ReportTable : Table {
    std::size_t componentCount = 0;  // the design's components, the parts left out included
    // Compressed: the rows of the unmerged table each merged row stands for, in order.
    std::optional<std::vector<std::size_t>> runLengths;
    // Compressed: each column's widest text before the merge where its header is empty.
    std::vector<std::string_view> widestBeforeMerge;
};

// One output format: its names, its file's extension, and the writing of a report's table and of
// a comparison to a file, replaced atomically. Failures throw vexlo::Error.
class Writer {
public:
    virtual ~Writer() = default;
    // The Options window's item and the name a message gives it: "Excel".
    virtual std::string_view name() const noexcept = 0;
    // vexlo-report --format's value for it: "excel".
    virtual std::string_view argument() const noexcept = 0;
    // The report file's extension: ".xls" (or ".xlsx" when the options ask for it).
    virtual std::string extension(const ReportOptions& options) const = 0;
    virtual void writeTable(const ReportTable& table, const ReportOptions& options,
                            const std::string& path) const = 0;
    virtual void writeComparison(const Comparison& comparison, const ReportOptions& options,
                                 const std::string& path) const = 0;
    // Whether a viewer that cannot be started fails the report (it is written either way).
    virtual bool needsViewer() const noexcept { return false; }
};

// Every output format's writer, each at its Format's number: the one list the settings, the
// Options window, vexlo-report's --format and --help and the reports take the formats from.
std::span<const Writer* const> writers() noexcept;

// The writer of a format; nullptr for a number that names none.
const Writer* writerOf(Format format) noexcept;

// The formats as a message lists them: "0 Excel, 1 Text, 2 HTML, 3 CSV".
std::string numberedFormats();

// The formats' arguments as a sentence lists them: "excel, text, html or csv".
std::string formatArguments();

}  // namespace vexlo::report
