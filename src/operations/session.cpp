#include "operations/session.h"

#include <chrono>

#include "operations/locator.h"

namespace vexlo::operations {

std::string Session::dataFile(const std::string& fileName) {
    if (!project_) {
        project_ = tool_.CurrentProject();
    }
    return locateDataFile(*project_, fileName);
}

std::shared_ptr<const design::FlattenedDesign> Session::design() {
    if (!design_) {
        if (designName_.empty()) {
            designName_ = design::designName(tool_);
        }
        const auto start = std::chrono::steady_clock::now();
        design_ = tool_.LoadGroupFlatten(designName_);
        fetchSeconds_ =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    return design_;
}

const report::ReportSource& Session::source() {
    if (sourceFailure_) {
        throw *sourceFailure_;
    }
    if (!source_) {
        try {
            report::ReportSource source;
            if (designName_.empty()) {
                designName_ = design::designName(tool_);
            }
            source.designName = designName_;
            source.documentPath = tool_.ActiveDocumentPath();
            source.outputFolder = report::outputFolderOf(source.documentPath);
            source.design = design();
            source_ = std::move(source);
        } catch (const Error& failure) {
            sourceFailure_ = failure;
            throw;
        }
    }
    return *source_;
}

}  // namespace vexlo::operations
