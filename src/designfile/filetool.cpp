#include "designfile/filetool.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::designfile {

DesignFileTool::DesignFileTool(LoadedDesign design)
    : project_(std::move(design.project)),
      document_(std::move(design.document)),
      flattened_(std::make_shared<const design::FlattenedDesign>(std::move(design.flattened))) {}

const Document& DesignFileTool::document(const char* what) const {
    if (!document_) {
        throw Error(errc::NoActiveDocument,
                    std::string("The schematic tool has no active ") + what);
    }
    return *document_;
}

std::string DesignFileTool::CurrentProject() {
    return project_;
}

std::string DesignFileTool::ActiveViewDocumentName() {
    return document("view").name;
}

std::string DesignFileTool::ActiveDocumentPath() {
    return document("document").path;
}

std::shared_ptr<const design::FlattenedDesign> DesignFileTool::LoadGroupFlatten(
    const std::string& designName) {
    const auto name = withoutLastCharacters(document("view").name, 2);
    if (!name || designName != *name) {
        throw Error(errc::ToolCallFailed, "LoadGroup: no design named \"" + designName + "\"");
    }
    return flattened_;
}

}  // namespace vexlo::designfile
