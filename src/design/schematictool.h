#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexlo::design {

struct Attribute {
    std::string Name;
    std::string Value;
};

// The attributes of one name in a collection: what the tool's collections answer with Count
// and First. A view into the component; valid while the design lives.
struct AttributeMatches {
    const Attribute* first = nullptr;
    int count = 0;

    int Count() const noexcept { return count; }
    const Attribute& First() const { return *first; }
};

// An ordered attribute collection; names may repeat, and First of a name is its first pair.
class AttributeCollection {
public:
    AttributeCollection() = default;
    explicit AttributeCollection(std::vector<Attribute> items) : items_(std::move(items)) {}

    int Count() const noexcept { return static_cast<int>(items_.size()); }
    // The collection filtered by name, as the tool answers Attributes(name).
    AttributeMatches byName(const std::string& name) const;

    auto begin() const noexcept { return items_.begin(); }
    auto end() const noexcept { return items_.end(); }
    const std::vector<Attribute>& items() const noexcept { return items_; }

private:
    std::vector<Attribute> items_;
};

struct Symbol {
    AttributeCollection Attributes;
};

struct Component {
    std::string Refdes;
    AttributeCollection OATList;  // object attributes, answered by OATs("", name)
    AttributeCollection Attributes;
    design::Symbol Symbol;

    AttributeMatches OATs(const std::string& kind, const std::string& name) const;
};

// The flattened design's component collection, in the tool's enumeration order.
struct FlattenedDesign {
    std::vector<Component> components;

    const std::vector<Component>& Components(const std::string& filter) const;
    int Count() const noexcept { return static_cast<int>(components.size()); }
};

// The running schematic tool as the program sees it. Every member may throw vexlo::Error:
// the tool can close at any time.
class SchematicTool {
public:
    virtual ~SchematicTool() = default;

    // Project directory, ending with a path separator.
    virtual std::string CurrentProject() = 0;
    // ActiveView, then Document, then Name.
    virtual std::string ActiveViewDocumentName() = 0;
    // ActiveDocument, then Path: the document's directory, ending with a separator.
    virtual std::string ActiveDocumentPath() = 0;
    // NorrendoSession, LoadGroup with the design name, then Flatten.
    virtual std::shared_ptr<const FlattenedDesign> LoadGroupFlatten(
        const std::string& designName) = 0;
};

// Attaches to the running tool; throws Error ToolNotRunning when none runs.
using ToolConnector = std::function<std::unique_ptr<SchematicTool>()>;

// The design name: the active view's document name less its last two characters.
std::string designName(SchematicTool& tool);

// Attach, design name, LoadGroup, Flatten: the flattened design whose Components("") are walked.
std::shared_ptr<const FlattenedDesign> openFlattenedDesign(SchematicTool& tool);

// The value of an attribute on a component: First's Value of the first non-empty collection of
// OATs("", name), Attributes(name), Symbol.Attributes(name); empty when all three are.
const std::string& attributeValue(const Component& component, const std::string& name);

}  // namespace vexlo::design
