#include "report/dispatch.h"

#include "report/compressformat.h"
#include "report/csvwriter.h"
#include "report/fillclipboard.h"
#include "report/htmlwriter.h"
#include "report/reportnames.h"
#include "report/textwriter.h"
#include "report/transientfiles.h"

namespace vexlo::report {

namespace {

using TableWriter = std::string (*)(design::SchematicTool&, const ReportRequest&);

std::string compressAndWrite(design::SchematicTool& tool, const ReportRequest& request,
                             TableWriter writer) {
    // The names are checked before anything is written; the guard also covers a writer that
    // fails before it knows the names itself.
    const ReportNames names = reportNames(tool, request.choiceSuffix);
    TransientFiles transient({names.intermediateFile(), names.tableFile()});
    const double fetchedBefore = request.timings != nullptr ? request.timings->fetchSeconds : 0;
    const auto start = std::chrono::steady_clock::now();
    CompressFormat(tool, request);
    const auto tableBuilt = std::chrono::steady_clock::now();
    std::string path = writer(tool, request);
    if (request.timings != nullptr) {
        request.timings->tableSeconds += std::chrono::duration<double>(tableBuilt - start).count() -
                                         (request.timings->fetchSeconds - fetchedBefore);
        request.timings->writeSeconds += secondsSince(tableBuilt);
    }
    return path;
}

}  // namespace

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string ExporttoExcel(design::SchematicTool& tool, const ReportRequest& request) {
    switch (request.settings.Export_File_Format) {
        case FormatWorkbook:
            // The workbook report groups its own rows and never uses the compressed table.
            return FillClipboard(tool, request);
        case FormatText:
            return compressAndWrite(tool, request, FillNotepad2);
        case FormatHtml:
            return compressAndWrite(tool, request, FillHtml2);
        case FormatCsv:
            return compressAndWrite(tool, request, FillCSV2);
        default:
            return {};
    }
}

}  // namespace vexlo::report
