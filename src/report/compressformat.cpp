#include "report/compressformat.h"

#include "common/textfile.h"
#include "report/csvline.h"
#include "report/intermediatefile.h"
#include "report/reportnames.h"
#include "report/transientfiles.h"

namespace vexlo::report {

namespace {

void appendCsvRow(std::string& content, const Row& row) {
    for (std::size_t column = 0; column < row.size(); ++column) {
        if (column > 0) {
            content += ',';
        }
        appendCsvField(content, row[column].text);
    }
    content += "\r\n";
}

}  // namespace

void saveCompressedTable(const Table& table, const std::string& path) {
    removeFileIfExists(path);
    AtomicFile file(path);
    std::string content;
    appendCsvRow(content, table.header);
    for (const Row& row : table.rows) {
        appendCsvRow(content, row);
        // Written in slices so that a large table is never held twice.
        if (content.size() >= (1u << 20)) {
            file.write(content);
            content.clear();
        }
    }
    file.write(content);
    file.commit();
}

void CompressFormat(design::SchematicTool& tool, const ReportRequest& request) {
    const ReportNames names = reportNames(tool, request.choiceSuffix);
    const std::string intermediatePath = names.intermediateFile();
    const std::string tablePath = names.tableFile();
    TransientFiles transient({intermediatePath, tablePath});

    const auto fetchStart = std::chrono::steady_clock::now();
    const auto design = tool.LoadGroupFlatten(names.designName);
    if (request.timings != nullptr) {
        request.timings->fetchSeconds += secondsSince(fetchStart);
    }
    const IntermediateCounts counts =
        writeIntermediateFile(*design, request.columns, intermediatePath);
    Table table = importIntermediateFile(intermediatePath);
    if (request.compress == 1) {
        compressRows(table, counts.columnCount, request.key);
    }
    saveCompressedTable(table, tablePath);
    transient.remove(intermediatePath);
    transient.keep(tablePath);
}

}  // namespace vexlo::report
