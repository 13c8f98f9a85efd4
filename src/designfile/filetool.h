#pragma once

#include <memory>

#include "design/schematictool.h"
#include "designfile/designfile.h"

namespace vexlo::designfile {

// The schematic tool played in process over a design read from its file, for vexlo-report
// --design: it answers every member as the simulator does over the bus, without one.
class DesignFileTool final : public design::SchematicTool {
public:
    explicit DesignFileTool(LoadedDesign design);

    std::string CurrentProject() override;
    // The tool's answers for the open document, as the simulator gives them over the bus.
    std::string ActiveViewDocumentName() override;
    std::string ActiveDocumentPath() override;
    // The design's names as the file gives them, or by the naming rules from the answers above.
    std::string DesignName() override;
    std::string OutputFolder() override;
    std::shared_ptr<const design::FlattenedDesign> LoadGroupFlatten(
        const std::string& designName) override;

private:
    const OpenDocument& document(const char* what) const;

    std::string project_;
    std::optional<OpenDocument> document_;
    std::shared_ptr<const design::FlattenedDesign> flattened_;
};

}  // namespace vexlo::designfile
