#include "design/schematictool.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::design {

namespace {
const std::string emptyValue;
}

AttributeMatches AttributeCollection::byName(const std::string& name) const {
    AttributeMatches matches;
    for (const auto& attribute : items_) {
        if (attribute.Name == name) {
            if (matches.count == 0) {
                matches.first = &attribute;
            }
            ++matches.count;
        }
    }
    return matches;
}

AttributeMatches Component::OATs(const std::string& /*kind*/, const std::string& name) const {
    return OATList.byName(name);
}

const std::vector<Component>& FlattenedDesign::Components(const std::string& /*filter*/) const {
    return components;
}

std::string designName(SchematicTool& tool) {
    const std::string documentName = tool.ActiveViewDocumentName();
    auto name = withoutLastCharacters(documentName, 2);
    if (!name) {
        throw Error(errc::BadDesignName,
                    "The document name \"" + documentName +
                        "\" is too short to give a design name (it needs at least two characters)");
    }
    return *name;
}

std::shared_ptr<const FlattenedDesign> openFlattenedDesign(SchematicTool& tool) {
    return tool.LoadGroupFlatten(designName(tool));
}

const std::string& attributeValue(const Component& component, const std::string& name) {
    for (const AttributeMatches found :
         {component.OATs("", name), component.Attributes.byName(name),
          component.Symbol.Attributes.byName(name)}) {
        if (found.Count() != 0) {
            return found.First().Value;
        }
    }
    return emptyValue;
}

}  // namespace vexlo::design
