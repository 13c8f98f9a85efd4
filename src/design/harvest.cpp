#include "design/harvest.h"

#include <unordered_set>

namespace vexlo::design {

std::vector<std::string> harvestAttributeNames(const FlattenedDesign& design) {
    std::vector<std::string> names;
    std::unordered_set<std::string_view> seenRefdes;
    std::unordered_set<std::string_view> seenNames;
    for (const Component& component : design.Components("")) {
        if (component.Refdes.empty() || !seenRefdes.insert(component.Refdes).second) {
            continue;
        }
        for (const auto* collection : {&component.Attributes, &component.Symbol.Attributes}) {
            for (const AttributeView& attribute : *collection) {
                if (seenNames.insert(attribute.Name).second) {
                    names.emplace_back(attribute.Name);
                }
            }
        }
    }
    return names;
}

}  // namespace vexlo::design
