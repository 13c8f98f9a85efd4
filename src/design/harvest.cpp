#include "design/harvest.h"

#include <unordered_set>

namespace vexlo::design {

std::vector<std::string> harvestAttributeNames(const FlattenedDesign& design) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seenRefdes;
    std::unordered_set<std::string> seenNames;
    for (const Component& component : design.Components("")) {
        if (component.Refdes.empty() || !seenRefdes.insert(component.Refdes).second) {
            continue;
        }
        for (const auto* collection : {&component.Attributes, &component.Symbol.Attributes}) {
            for (const Attribute& attribute : *collection) {
                if (seenNames.insert(attribute.Name).second) {
                    names.push_back(attribute.Name);
                }
            }
        }
    }
    return names;
}

}  // namespace vexlo::design
