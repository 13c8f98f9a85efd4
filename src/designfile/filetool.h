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
    std::string ActiveViewDocumentName() override;
    std::string ActiveDocumentPath() override;
    std::shared_ptr<const design::FlattenedDesign> LoadGroupFlatten(
        const std::string& designName) override;

private:
    const Document& document(const char* what) const;

    std::string project_;
    std::optional<Document> document_;
    std::shared_ptr<const design::FlattenedDesign> flattened_;
};

}  // namespace vexlo::designfile
