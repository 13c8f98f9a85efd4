#include "report/htmlwriter.h"

#include "report/csvline.h"

namespace vexlo::report {

HtmlCellTemplate htmlCellTemplate(int valueBold, int valueItalic) noexcept {
    if (valueBold == 1 && valueItalic == 0) {
        return {"<TD><B><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></B></TD>"};
    }
    if (valueBold == 1 && valueItalic == 1) {
        return {"<TD><B><I><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></B></I></TD>"};
    }
    if (valueBold == 0 && valueItalic == 1) {
        return {"<TD><I><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></I></TD>"};
    }
    return {"<TD><P ALIGN='CENTER'><FONT SIZE='", "</FONT></P></TD>"};
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

void writeHtmlReport(const std::vector<std::string>& tableLines, const options::Settings& settings,
                     const ReportSink& sink) {
    const HtmlCellTemplate cell = htmlCellTemplate(settings.Value_Bold, settings.Value_Italic);
    const std::string fontSize = std::to_string(settings.Header_Font_Size);
    sink(
        "<HTML>\r\n<HEAD><TITLE></TITLE></HEAD>\r\n<BODY>\r\n"
        "<TABLE BORDER CELLSPACING=1 CELLPADDING=9>\r\n");
    std::string row;
    for (const std::string& line : tableLines) {
        row = "<TR>\r\n";
        for (const std::string& field : splitCsvFields(line)) {
            row += cell.opening;
            row += fontSize;
            row += "'>";
            row += field.empty() ? std::string("-") : escapeHtml(field);
            row += cell.closing;
            row += "\r\n";
        }
        row += "</TR>\r\n";
        sink(row);
    }
    sink("</TABLE>\r\n</BODY>\r\n</HTML>\r\n");
}

std::string htmlReport(const std::vector<std::string>& tableLines,
                       const options::Settings& settings) {
    return renderToString(
        [&settings](const std::vector<std::string>& lines, const ReportSink& sink) {
            writeHtmlReport(lines, settings, sink);
        },
        tableLines);
}

std::string FillHtml2(design::SchematicTool& tool, const ReportRequest& request) {
    return writeTableReport(
        tool, request, ".html",
        [&request](const std::vector<std::string>& lines, const ReportSink& sink) {
            writeHtmlReport(lines, request.settings, sink);
        },
        ViewerFailure::Ignored);
}

}  // namespace vexlo::report
