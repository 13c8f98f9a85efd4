#include "report/dispatch.h"

#include "common/error.h"

namespace vexlo::report {

std::string ExporttoExcel(design::SchematicTool& /*tool*/, const ReportRequest& /*request*/) {
    throw Error(errc::NoWorkbookWriter, "Reports are not available yet");
}

}  // namespace vexlo::report
