#pragma once

#include <optional>

#include "design/schematictool.h"

namespace vexlo::design {

// An in-memory schematic tool for tests and benchmarks. A member whose value is unset fails the
// way the real tool does when it has no such object.
class FakeTool final : public SchematicTool {
public:
    std::string project = "/tmp/project/";
    std::optional<std::string> documentName = std::string("board.1");
    std::optional<std::string> documentPath = std::string("/tmp/project/sch/");
    std::shared_ptr<FlattenedDesign> design = std::make_shared<FlattenedDesign>();
    int loadCount = 0;
    bool vanishOnLoad = false;  // the tool closes while flattening
    int calls = 0;              // members answered, of every kind

    std::string CurrentProject() override;
    std::string ActiveViewDocumentName() override;
    std::string ActiveDocumentPath() override;
    std::shared_ptr<const FlattenedDesign> LoadGroupFlatten(const std::string& name) override;

    // A connector that hands out views of this tool, for code that attaches anew each time.
    ToolConnector connector();
};

// Builds a component from [name, value] lists.
Component makeComponent(std::string refdes, std::vector<Attribute> attributes,
                        std::vector<Attribute> symbol = {}, std::vector<Attribute> oats = {});

}  // namespace vexlo::design
