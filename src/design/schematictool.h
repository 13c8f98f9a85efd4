#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::design {

// An attribute as it is given: its name and its value.
struct Attribute {
    std::string Name;
    std::string Value;
};

// An attribute as a design holds it: views of texts kept by the component.
struct AttributeView {
    std::string_view Name;
    std::string_view Value;
};

// The attributes of one name in a collection: what the tool's collections answer with Count
// and First. A view into the component; valid while the design lives.
struct AttributeMatches {
    const AttributeView* first = nullptr;
    int count = 0;

    int Count() const noexcept { return count; }
    const AttributeView& First() const { return *first; }
};

// An ordered attribute collection of a component; names may repeat, and First of a name is its
// first pair. A view into the component's storage.
class AttributeCollection {
public:
    AttributeCollection() = default;
    AttributeCollection(const AttributeView* begin, const AttributeView* end)
        : begin_(begin), end_(end) {}

    int Count() const noexcept { return static_cast<int>(end_ - begin_); }
    // The collection filtered by name, as the tool answers Attributes(name).
    AttributeMatches byName(std::string_view name) const noexcept;

    const AttributeView* begin() const noexcept { return begin_; }
    const AttributeView* end() const noexcept { return end_; }
    std::span<const AttributeView> items() const noexcept { return {begin_, end_}; }

private:
    const AttributeView* begin_ = nullptr;
    const AttributeView* end_ = nullptr;
};

struct Symbol {
    AttributeCollection Attributes;
};

// One component of a flattened design. Its designator, names and values live in one block of
// its own, shared by its copies, so that a design of a million components stays compact.
class Component {
public:
    Component() = default;
    // The texts are copied into the component.
    Component(std::string_view refdes, std::span<const AttributeView> oats,
              std::span<const AttributeView> attributes, std::span<const AttributeView> symbol);

    std::string_view Refdes;
    AttributeCollection OATList;  // object attributes, answered by OATs("", name)
    AttributeCollection Attributes;
    design::Symbol Symbol;

    AttributeMatches OATs(std::string_view kind, std::string_view name) const noexcept;

private:
    std::shared_ptr<const char[]> storage_;
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

// The value of an attribute on a component: First's Value of the first non-empty collection of
// OATs("", name), Attributes(name), Symbol.Attributes(name); empty when all three are.
std::string_view attributeValue(const Component& component, std::string_view name) noexcept;

}  // namespace vexlo::design
