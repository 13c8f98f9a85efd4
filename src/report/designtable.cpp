#include "report/designtable.h"

#include <algorithm>
#include <functional>

#include "common/characters.h"

namespace vexlo::report {

namespace {

bool breaksLines(char c) noexcept {
    return c == '\t' || c == '\r' || c == '\n';
}

std::string withSpaces(std::string text) {
    std::replace_if(text.begin(), text.end(), breaksLines, ' ');
    return text;
}

// The text as exclusions compare it: blanks around removed, ASCII letters in lower case.
std::string comparable(std::string_view text) {
    return lowerAscii(std::string(trimBlanks(text)));
}

// The designators met so far: an open-addressing table of views, one probe sequence a lookup
// and no allocation an entry, so that a million components cost one cache miss each.
class DesignatorSet {
public:
    explicit DesignatorSet(std::size_t capacity) {
        std::size_t size = 16;
        while (size < capacity * 2) {
            size *= 2;
        }
        slots_.resize(size);
    }

    // False when the designator was there already. The designator is not empty.
    bool insert(std::string_view designator) {
        const std::size_t hash = std::hash<std::string_view>{}(designator);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.designator.data() == nullptr) {
                slot = Slot{hash, designator};
                return true;
            }
            if (slot.hash == hash && slot.designator == designator) {
                return false;
            }
        }
    }

private:
    // A slot is free while its view is null; designators are never empty.
    struct Slot {
        std::size_t hash = 0;
        std::string_view designator;
    };
    std::vector<Slot> slots_;
};

// The kept components in the table's row order.
std::vector<const design::Component*> keptComponents(const design::FlattenedDesign& design,
                                                     const TableRules& rules) {
    const auto& components = design.Components("");
    std::vector<const design::Component*> kept;
    kept.reserve(components.size());
    DesignatorSet met(components.size());
    for (const design::Component& component : components) {
        if (component.Refdes.empty() || !met.insert(component.Refdes) ||
            excludes(rules.exclusion, component)) {
            continue;
        }
        kept.push_back(&component);
    }
    if (rules.naturalOrder) {
        std::stable_sort(kept.begin(), kept.end(),
                         [](const design::Component* left, const design::Component* right) {
                             return compareDesignators(left->Refdes, right->Refdes) < 0;
                         });
    }
    return kept;
}

}  // namespace

Exclusion exclusionOf(const std::string& attribute, std::string_view values) {
    Exclusion exclusion;
    exclusion.attribute = attribute;
    if (attribute.empty()) {
        return exclusion;
    }
    for (;;) {
        const std::size_t comma = values.find(',');
        std::string value = comparable(values.substr(0, comma));
        if (!value.empty()) {
            exclusion.values.push_back(std::move(value));
        }
        if (comma == std::string_view::npos) {
            break;
        }
        values.remove_prefix(comma + 1);
    }
    return exclusion;
}

bool excludes(const Exclusion& exclusion, const design::Component& component) {
    if (exclusion.attribute.empty() || exclusion.values.empty()) {
        return false;
    }
    const std::string value = comparable(design::attributeValue(component, exclusion.attribute));
    return std::find(exclusion.values.begin(), exclusion.values.end(), value) !=
           exclusion.values.end();
}

Table buildTable(const design::FlattenedDesign& design, const std::vector<std::string>& columns,
                 const TableRules& rules) {
    Table table;
    table.columns = columns;
    for (const std::string& name : columns) {
        table.header.push_back(withSpaces(name));
    }
    if (table.header.empty()) {
        table.header.emplace_back();
    }
    std::vector<bool> isQuantity;
    for (const std::string& name : columns) {
        isQuantity.push_back(name == "QTY");
    }
    const std::vector<const design::Component*> kept = keptComponents(design, rules);
    table.cells.reserve(kept.size() * table.width());
    for (const design::Component* component : kept) {
        if (rules.designators) {
            table.designators.push_back(component->Refdes);
        }
        if (columns.empty()) {
            table.cells.emplace_back();
        }
        for (std::size_t column = 0; column < columns.size(); ++column) {
            if (isQuantity[column]) {
                table.cells.emplace_back("1");
                continue;
            }
            const std::string_view value = design::attributeValue(*component, columns[column]);
            table.cells.emplace_back(std::none_of(value.begin(), value.end(), breaksLines)
                                         ? value
                                         : table.keep(withSpaces(std::string(value))));
        }
    }
    return table;
}

std::vector<std::string> columnsNoComponentCarries(const design::FlattenedDesign& design,
                                                   const std::vector<std::string>& columns) {
    std::vector<std::string> missing;
    for (const std::string& name : columns) {
        if (name == "QTY") {
            continue;
        }
        const auto& components = design.Components("");
        const bool carried =
            std::any_of(components.begin(), components.end(), [&name](const auto& component) {
                return component.OATs("", name).Count() != 0 ||
                       component.Attributes.byName(name).Count() != 0 ||
                       component.Symbol.Attributes.byName(name).Count() != 0;
            });
        if (!carried) {
            missing.push_back(name);
        }
    }
    return missing;
}

}  // namespace vexlo::report
