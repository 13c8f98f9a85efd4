#include "operations/session.h"

#include <chrono>

#include "operations/locator.h"

namespace vexlo::operations {

design::SchematicTool& Session::tool() {
    if (tool_ == nullptr) {
        owned_ = connect_();
        tool_ = owned_.get();
    }
    return *tool_;
}

std::string Session::dataFile(const std::string& fileName) {
    return locateDataFile(projectFolder(), fileName);
}

const std::string& Session::projectFolder() {
    if (!project_) {
        project_ = tool().CurrentProject();
    }
    return *project_;
}

const std::string& Session::designName() {
    if (designName_.empty()) {
        designName_ = tool().DesignName();
    }
    return designName_;
}

std::shared_ptr<const design::FlattenedDesign> Session::design() {
    if (!design_) {
        designName();
        const auto start = std::chrono::steady_clock::now();
        design_ = tool().LoadGroupFlatten(designName_);
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
            source.designName = designName();
            source.outputFolder = tool().OutputFolder();
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
