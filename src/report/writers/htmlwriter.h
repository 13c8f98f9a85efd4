#pragma once

#include <string>
#include <string_view>

#include "report/options/reportstyle.h"
#include "report/table/table.h"
#include "report/writers/reportsink.h"
#include "report/writers/writer.h"

namespace vexlo::report {

// The text around each cell's font size and field: the same for every cell, header included. The
// size goes between the opening and htmlFontSizeEnd, in points as a style: the old SIZE attribute
// took the point size for one of HTML's seven sizes, and browsers showed the largest.
struct HtmlCellTemplate {
    std::string_view opening;
    std::string_view closing;
};

inline constexpr std::string_view htmlFontSizeEnd = "pt'>";

HtmlCellTemplate htmlCellTemplate(bool bold, bool italic) noexcept;

// "&", "<" and ">" as entities; everything else as it is.
std::string escapeHtml(std::string_view text);

// The HTML report, declared UTF-8 (the cells are the design's bytes, "µ" and "Ω" included): one
// table row per printed row, header first, one line per cell, an empty
// cell shown as "-", every cell centred in the header's font size and bold or italic as the
// value rows are; lines ended by CR LF.
void writeHtmlReport(const Table& table, const ReportStyle& style, const ReportSink& sink);

// The HTML format: ".html"; a comparison as the report's table with the title above it and a
// "Change" column, added rows green, removed rows red and the changed cells yellow.
const Writer& htmlWriter();

}  // namespace vexlo::report
