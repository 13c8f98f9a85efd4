#include "report/dispatch.h"

#include "common/error.h"
#include "report/compressformat.h"
#include "report/csvwriter.h"
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
    CompressFormat(tool, request);
    return writer(tool, request);
}

}  // namespace

std::string ExporttoExcel(design::SchematicTool& tool, const ReportRequest& request) {
    switch (request.settings.Export_File_Format) {
        case FormatWorkbook:
            throw Error(errc::NoWorkbookWriter,
                        "The workbook report is not available in this build");
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
