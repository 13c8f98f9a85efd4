#include "report/writers/htmlwriter.h"

#include <optional>

#include "report/compare/compare.h"

namespace vexlo::report {

HtmlCellTemplate htmlCellTemplate(bool bold, bool italic) noexcept {
    if (bold && italic) {
        return {"<TD><B><I><P ALIGN='CENTER'><FONT STYLE='font-size:", "</FONT></P></B></I></TD>"};
    }
    if (bold) {
        return {"<TD><B><P ALIGN='CENTER'><FONT STYLE='font-size:", "</FONT></P></B></TD>"};
    }
    if (italic) {
        return {"<TD><I><P ALIGN='CENTER'><FONT STYLE='font-size:", "</FONT></P></I></TD>"};
    }
    return {"<TD><P ALIGN='CENTER'><FONT STYLE='font-size:", "</FONT></P></TD>"};
}

std::string escapeHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void writeHtmlReport(const Table& table, const ReportStyle& style, const ReportSink& sink) {
    const HtmlCellTemplate cell = htmlCellTemplate(style.values.bold, style.values.italic);
    const std::string fontSize = std::to_string(style.header.fontSize);
    std::string html =
        "<HTML>\r\n<HEAD>\r\n<META charset=\"utf-8\">\r\n<TITLE></TITLE></HEAD>\r\n<BODY>\r\n"
        "<TABLE BORDER CELLSPACING=1 CELLPADDING=9>\r\n";
    forEachPrintedRow(table, [&](std::span<const std::string_view> row) {
        html += "<TR>\r\n";
        for (const std::string_view field : row) {
            html += cell.opening;
            html += fontSize;
            html += htmlFontSizeEnd;
            html += field.empty() ? std::string("-") : escapeHtml(field);
            html += cell.closing;
            html += "\r\n";
        }
        html += "</TR>\r\n";
        passFullSlice(html, sink);
    });
    html += "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
    sink(html);
}

namespace {

void writeHtmlComparison(const Comparison& comparison, const ReportStyle& style,
                         const ReportSink& sink) {
    const HtmlCellTemplate cell = htmlCellTemplate(style.values.bold, style.values.italic);
    // The template opens with "<TD"; a changed cell adds its class there.
    const std::string_view cellRest = cell.opening.substr(3);
    const std::string fontSize = std::to_string(style.header.fontSize);
    const std::string title = escapeHtml(comparison.title);
    std::string html = "<HTML>\r\n<HEAD>\r\n<META charset=\"utf-8\">\r\n<TITLE>" + title +
                       "</TITLE>\r\n<STYLE>\r\n"
                       "tr.added td { background: #C6EFCE }\r\n"
                       "tr.removed td { background: #FFC7CE }\r\n"
                       "td.changed { background: #FFEB9C }\r\n"
                       "</STYLE></HEAD>\r\n<BODY>\r\n<P>" +
                       title + "</P>\r\n<TABLE BORDER CELLSPACING=1 CELLPADDING=9>\r\n";
    const Table& table = comparison.table;
    // A data row's cells are marked from its first cell's place in comparison.differs.
    const auto writeRow = [&](std::span<const std::string_view> row, const char* rowClass,
                              std::optional<std::size_t> firstCell) {
        html += rowClass == nullptr ? std::string("<TR>\r\n")
                                    : "<TR CLASS='" + std::string(rowClass) + "'>\r\n";
        for (std::size_t column = 0; column < row.size(); ++column) {
            html += "<TD";
            html += firstCell && comparison.differs[*firstCell + column] ? " CLASS='changed'" : "";
            html += cellRest;
            html += fontSize;
            html += htmlFontSizeEnd;
            html += row[column].empty() ? std::string("-") : escapeHtml(row[column]);
            html += cell.closing;
            html += "\r\n";
        }
        html += "</TR>\r\n";
        passFullSlice(html, sink);
    };
    const std::vector<std::string_view> header(table.header.begin(), table.header.end());
    writeRow(header, nullptr, std::nullopt);
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        writeRow(table.row(row), changeName(comparison.changes[row]), row * table.width());
    }
    html += "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
    sink(html);
}

class HtmlWriter final : public Writer {
public:
    std::string_view name() const noexcept override { return "HTML"; }
    std::string_view argument() const noexcept override { return "html"; }
    std::string extension(const ReportOptions&) const override { return ".html"; }
    void writeTable(const ReportTable& table, const ReportOptions& options,
                    const std::string& path) const override {
        writeAtomically(path, [&](const ReportSink& sink) {
            writeHtmlReport(table, options.layout.style, sink);
        });
    }
    void writeComparison(const Comparison& comparison, const ReportOptions& options,
                         const std::string& path) const override {
        writeAtomically(path, [&](const ReportSink& sink) {
            writeHtmlComparison(comparison, options.layout.style, sink);
        });
    }
};

}  // namespace

const Writer& htmlWriter() {
    static const HtmlWriter writer;
    return writer;
}

}  // namespace vexlo::report
