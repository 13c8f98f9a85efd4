#include "faketool.h"

#include "common/error.h"

namespace vexlo::design {

namespace {

// Forwards to a FakeTool owned elsewhere, so that each attach gets its own object.
class FakeToolView final : public SchematicTool {
public:
    explicit FakeToolView(FakeTool& tool) : tool_(tool) {}
    std::string CurrentProject() override { return tool_.CurrentProject(); }
    std::string ActiveViewDocumentName() override { return tool_.ActiveViewDocumentName(); }
    std::string ActiveDocumentPath() override { return tool_.ActiveDocumentPath(); }
    std::shared_ptr<const FlattenedDesign> LoadGroupFlatten(const std::string& name) override {
        return tool_.LoadGroupFlatten(name);
    }

private:
    FakeTool& tool_;
};

}  // namespace

std::string FakeTool::CurrentProject() {
    ++calls;
    return project;
}

std::string FakeTool::ActiveViewDocumentName() {
    ++calls;
    if (!documentName) {
        throw Error(errc::NoActiveDocument, "The schematic tool has no active view");
    }
    return *documentName;
}

std::string FakeTool::ActiveDocumentPath() {
    ++calls;
    if (!documentPath) {
        throw Error(errc::NoActiveDocument, "The schematic tool has no active document");
    }
    return *documentPath;
}

std::shared_ptr<const FlattenedDesign> FakeTool::LoadGroupFlatten(const std::string& name) {
    if (!documentName) {
        throw Error(errc::NoActiveDocument, "The schematic tool has no active view");
    }
    ++calls;
    if (vanishOnLoad) {
        throw Error(errc::ToolNotRunning,
                    "The schematic tool is not running (it closed before answering "
                    "LoadGroupFlatten)");
    }
    const std::string expected = *documentName;
    if (expected.size() < 2 || name != expected.substr(0, expected.size() - 2)) {
        throw Error(errc::ToolCallFailed, "LoadGroup: no design named \"" + name + "\"");
    }
    ++loadCount;
    return design;
}

ToolConnector FakeTool::connector() {
    return [this]() -> std::unique_ptr<SchematicTool> {
        return std::make_unique<FakeToolView>(*this);
    };
}

Component makeComponent(std::string refdes, std::vector<Attribute> attributes,
                        std::vector<Attribute> symbol, std::vector<Attribute> oats) {
    const auto views = [](const std::vector<Attribute>& pairs) {
        std::vector<AttributeView> result;
        for (const Attribute& pair : pairs) {
            result.push_back(AttributeView{pair.Name, pair.Value});
        }
        return result;
    };
    return Component(refdes, views(oats), views(attributes), views(symbol));
}

}  // namespace vexlo::design
