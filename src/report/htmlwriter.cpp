#include "report/htmlwriter.h"

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

}  // namespace vexlo::report
