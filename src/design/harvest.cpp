#include "design/harvest.h"

#include <unordered_map>
#include <unordered_set>

namespace vexlo::design {

std::vector<std::string> harvestAttributeNames(const FlattenedDesign& design) {
    std::vector<std::string> names;
    std::unordered_set<std::string_view> seenRefdes;
    std::unordered_set<std::string_view> seenNames;
    // For each storage, the name numbers met already: a name is looked up by its text once a
    // storage, not once an attribute.
    std::unordered_map<const DesignStorage*, std::vector<bool>> metIn;
    for (const Component& component : design.Components("")) {
        if (component.Refdes.empty() || !seenRefdes.insert(component.Refdes).second ||
            component.storage() == nullptr) {
            continue;
        }
        const DesignStorage& storage = *component.storage();
        std::vector<bool>& met = metIn[&storage];
        met.resize(storage.nameCount(), false);
        for (const auto* collection : {&component.Attributes, &component.Symbol.Attributes}) {
            for (const AttributeEntry& entry : collection->entries()) {
                if (met[entry.name]) {
                    continue;
                }
                met[entry.name] = true;
                const std::string_view name = storage.name(entry.name);
                if (seenNames.insert(name).second) {
                    names.emplace_back(name);
                }
            }
        }
    }
    return names;
}

}  // namespace vexlo::design
