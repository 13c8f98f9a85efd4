#include "report/table/designtable.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <unordered_map>

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

// The designators of the components met so far: an open-addressing table of component
// numbers, one probe sequence a lookup and no allocation an entry. A slot takes 8 bytes, so
// that the table of a million components stays small enough for the caches.
class DesignatorSet {
public:
    explicit DesignatorSet(const std::vector<design::Component>& components)
        : components_(components) {
        std::size_t size = 16;
        while (size < components.size() * 2) {
            size *= 2;
        }
        slots_.resize(size);
    }

    // The hash of the component's designator, the slot where its probe begins starting to
    // load, so that the cache misses of components a few ahead overlap.
    std::uint32_t prefetch(std::size_t index) const noexcept {
        const auto hash =
            static_cast<std::uint32_t>(std::hash<std::string_view>{}(components_[index].Refdes));
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
        return hash;
    }

    // False when the designator of the component, whose hash prefetch gave, was there already.
    // It is not empty.
    bool insert(std::size_t index, std::uint32_t hash) {
        const std::string_view designator = components_[index].Refdes;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.componentAfter == 0) {
                slot = Slot{hash, static_cast<std::uint32_t>(index + 1)};
                return true;
            }
            if (slot.hash == hash && components_[slot.componentAfter - 1].Refdes == designator) {
                return false;
            }
        }
    }

private:
    // A slot is free while componentAfter, the component's number plus one, is 0.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t componentAfter = 0;
    };
    const std::vector<design::Component>& components_;
    std::vector<Slot> slots_;
};

// Finds the values of a list of names on components in one pass over each component's
// attributes, by the rule of design::attributeValue: the first attribute of a name in the
// first collection that has it. The names are resolved to each storage's name numbers once.
class ValueFinder {
public:
    // The names may repeat.
    explicit ValueFinder(const std::vector<std::string_view>& names) {
        std::unordered_map<std::string_view, std::uint32_t> distinct;
        for (const std::string_view name : names) {
            const auto [at, added] =
                distinct.try_emplace(name, static_cast<std::uint32_t>(names_.size()));
            if (added) {
                names_.push_back(name);
            }
            slotOf_.push_back(at->second);
        }
        values_.resize(names_.size());
        foundFor_.resize(names_.size(), 0);
    }

    // Finds the values on the component; value(i) then answers for names[i].
    void find(const design::Component& component) {
        ++generation_;
        const design::DesignStorage* storage = component.storage();
        if (storage == nullptr) {
            return;
        }
        const std::vector<std::uint32_t>& slotOfName = resolved(*storage);
        for (const design::AttributeCollection* collection :
             {&component.OATList, &component.Attributes, &component.Symbol.Attributes}) {
            for (const design::AttributeEntry& entry : collection->entries()) {
                const std::uint32_t slot = slotOfName[entry.name];
                if (slot != unlisted && foundFor_[slot] != generation_) {
                    foundFor_[slot] = generation_;
                    values_[slot] = entry.Value();
                }
            }
        }
    }

    // The value of names[index] on the component last found; empty when it has none.
    std::string_view value(std::size_t index) const noexcept {
        const std::uint32_t slot = slotOf_[index];
        return foundFor_[slot] == generation_ ? values_[slot] : std::string_view();
    }
    // Whether the component last found has names[index] at all, empty or not.
    bool carries(std::size_t index) const noexcept {
        return foundFor_[slotOf_[index]] == generation_;
    }

private:
    static constexpr std::uint32_t unlisted = UINT32_MAX;

    // For each name number of the storage, the slot of that name, or unlisted.
    const std::vector<std::uint32_t>& resolved(const design::DesignStorage& storage) {
        if (&storage == lastStorage_) {
            return *lastResolved_;
        }
        auto [at, added] = resolved_.try_emplace(&storage);
        if (added) {
            at->second.assign(storage.nameCount(), unlisted);
            for (std::size_t slot = 0; slot < names_.size(); ++slot) {
                const design::NameId id = storage.find(names_[slot]);
                if (id != design::noName) {
                    at->second[id] = static_cast<std::uint32_t>(slot);
                }
            }
        }
        lastStorage_ = &storage;
        lastResolved_ = &at->second;
        return at->second;
    }

    std::vector<std::string_view> names_;   // each name once
    std::vector<std::uint32_t> slotOf_;     // for each name given, its place in names_
    std::vector<std::string_view> values_;  // by place in names_
    std::vector<std::uint64_t> foundFor_;   // the generation the value was found in
    std::uint64_t generation_ = 0;
    std::unordered_map<const design::DesignStorage*, std::vector<std::uint32_t>> resolved_;
    const design::DesignStorage* lastStorage_ = nullptr;
    const std::vector<std::uint32_t>* lastResolved_ = nullptr;
};

bool excluding(const Exclusion& exclusion) noexcept {
    return !exclusion.attribute.empty() && !exclusion.values.empty();
}

bool isExcludedValue(const Exclusion& exclusion, std::string_view value) {
    return std::find(exclusion.values.begin(), exclusion.values.end(), comparable(value)) !=
           exclusion.values.end();
}

// The kept components in the table's row order.
std::vector<const design::Component*> keptComponents(const design::FlattenedDesign& design,
                                                     const TableRules& rules) {
    const auto& components = design.Components("");
    std::vector<const design::Component*> kept;
    kept.reserve(components.size());
    DesignatorSet met(components);
    const bool excludingAny = excluding(rules.exclusion);
    ValueFinder excludedBy({rules.exclusion.attribute});
    // The hashes of the next components' designators, their slots on the way into the cache.
    constexpr std::size_t ahead = 8;
    std::array<std::uint32_t, ahead> hashes{};
    for (std::size_t index = 0; index < std::min(ahead, components.size()); ++index) {
        hashes[index] = met.prefetch(index);
    }
    for (std::size_t index = 0; index < components.size(); ++index) {
        const std::uint32_t hash = hashes[index % ahead];
        if (index + ahead < components.size()) {
            hashes[index % ahead] = met.prefetch(index + ahead);
        }
        const design::Component& component = components[index];
        if (component.Refdes.empty() || !met.insert(index, hash)) {
            continue;
        }
        if (excludingAny) {
            excludedBy.find(component);
            if (isExcludedValue(rules.exclusion, excludedBy.value(0))) {
                continue;
            }
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
    return excluding(exclusion) &&
           isExcludedValue(exclusion, design::attributeValue(component, exclusion.attribute));
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
    ValueFinder cells(std::vector<std::string_view>(columns.begin(), columns.end()));
    for (const design::Component* component : kept) {
        if (rules.designators) {
            table.designators.push_back(component->Refdes);
        }
        if (columns.empty()) {
            table.cells.emplace_back();
        }
        cells.find(*component);
        for (std::size_t column = 0; column < columns.size(); ++column) {
            if (isQuantity[column]) {
                table.cells.emplace_back("1");
                continue;
            }
            const std::string_view value = cells.value(column);
            table.cells.emplace_back(
                std::none_of(value.begin(), value.end(), [](char c) { return breaksLines(c); })
                    ? value
                    : table.keep(withSpaces(std::string(value))));
        }
    }
    return table;
}

std::vector<std::string> columnsNoComponentCarries(const design::FlattenedDesign& design,
                                                   const std::vector<std::string>& columns) {
    ValueFinder found(std::vector<std::string_view>(columns.begin(), columns.end()));
    // "QTY" is never looked for: it counts as carried from the start.
    std::vector<bool> carried;
    for (const std::string& name : columns) {
        carried.push_back(name == "QTY");
    }
    std::size_t uncarried =
        static_cast<std::size_t>(std::count(carried.begin(), carried.end(), false));
    for (const design::Component& component : design.Components("")) {
        if (uncarried == 0) {
            break;
        }
        found.find(component);
        for (std::size_t column = 0; column < columns.size(); ++column) {
            if (!carried[column] && found.carries(column)) {
                carried[column] = true;
                --uncarried;
            }
        }
    }
    std::vector<std::string> missing;
    for (std::size_t column = 0; column < columns.size(); ++column) {
        if (!carried[column]) {
            missing.push_back(columns[column]);
        }
    }
    return missing;
}

}  // namespace vexlo::report
