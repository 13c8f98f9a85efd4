#include "designfile/filetool.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::designfile {

DesignFileTool::DesignFileTool(LoadedDesign design)
    : project_(std::move(design.project)),
      document_(std::move(design.document)),
      flattened_(std::make_shared<const design::FlattenedDesign>(std::move(design.flattened))) {}

const OpenDocument& DesignFileTool::document(const char* what) const {
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
    return toolDocumentOf(document("view")).name;
}

std::string DesignFileTool::ActiveDocumentPath() {
    return toolDocumentOf(document("document")).path;
}

std::string DesignFileTool::DesignName() {
    const auto* names = std::get_if<Document>(&document("view"));
    return names != nullptr ? names->designName : SchematicTool::DesignName();
}

std::string DesignFileTool::OutputFolder() {
    const auto* names = std::get_if<Document>(&document("document"));
    return names != nullptr ? names->outputFolder : SchematicTool::OutputFolder();
}

std::shared_ptr<const design::FlattenedDesign> DesignFileTool::LoadGroupFlatten(
    const std::string& designName) {
    const OpenDocument& open = document("view");
    const auto* names = std::get_if<Document>(&open);
    const auto name = names != nullptr ? std::optional(names->designName)
                                       : design::designNameOf(toolDocumentOf(open).name);
    if (!name || designName != *name) {
        throw Error(errc::ToolCallFailed, "LoadGroup: no design named \"" + designName + "\"");
    }
    return flattened_;
}

}  // namespace vexlo::designfile
