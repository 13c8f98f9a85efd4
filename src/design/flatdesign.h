#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "design/designstorage.h"

namespace vexlo::design {

// The design model: a flattened design's components and their attributes, as the reports read
// them, whoever served the design (the schematic tool over the bus, or a design file).

// An attribute as it is given: its name and its value.
struct Attribute {
    std::string Name;
    std::string Value;
};

// An attribute as a collection answers it: views of texts kept by the component's storage.
struct AttributeView {
    std::string_view Name;
    std::string_view Value;
};

// The attributes of one name in a collection: what the tool's collections answer with Count
// and First.
struct AttributeMatches {
    AttributeView first;
    int count = 0;

    int Count() const noexcept { return count; }
    const AttributeView& First() const noexcept { return first; }
};

// An ordered attribute collection of a component; names may repeat, and First of a name is its
// first pair. A view of entries of the component's storage.
class AttributeCollection {
public:
    class Iterator {
    public:
        using value_type = AttributeView;
        using difference_type = std::ptrdiff_t;

        Iterator() = default;
        Iterator(const DesignStorage* storage, const AttributeEntry* entry)
            : storage_(storage), entry_(entry) {}
        AttributeView operator*() const noexcept {
            return {storage_->name(entry_->name), entry_->Value()};
        }
        Iterator& operator++() noexcept {
            ++entry_;
            return *this;
        }
        Iterator operator++(int) noexcept {
            Iterator before = *this;
            ++entry_;
            return before;
        }
        bool operator==(const Iterator& other) const noexcept { return entry_ == other.entry_; }

    private:
        const DesignStorage* storage_ = nullptr;
        const AttributeEntry* entry_ = nullptr;
    };

    AttributeCollection() = default;
    AttributeCollection(const DesignStorage* storage, std::uint32_t first, std::uint32_t count)
        : storage_(storage), first_(first), count_(count) {}

    int Count() const noexcept { return static_cast<int>(count_); }
    // The collection filtered by name, as the tool answers Attributes(name).
    AttributeMatches byName(std::string_view name) const noexcept;

    Iterator begin() const noexcept { return {storage_, entries().data()}; }
    Iterator end() const noexcept { return {storage_, entries().data() + count_}; }
    // The entries themselves, for lookups by name number in the collection's storage.
    std::span<const AttributeEntry> entries() const noexcept {
        return storage_ == nullptr ? std::span<const AttributeEntry>()
                                   : std::span(storage_->entries() + first_, count_);
    }

private:
    const DesignStorage* storage_ = nullptr;
    std::uint32_t first_ = 0;
    std::uint32_t count_ = 0;
};

struct Symbol {
    AttributeCollection Attributes;
};

// One component of a flattened design. Its designator and attributes live in a storage shared
// with the other components of its design (or its own, for a component made alone), which its
// copies keep alive; its attributes are consecutive entries there: the object attributes, the
// attributes, then the symbol's.
class Component {
public:
    Component() = default;
    // A component with a storage of its own; the texts are copied into it.
    Component(std::string_view refdes, std::span<const AttributeView> oats,
              std::span<const AttributeView> attributes, std::span<const AttributeView> symbol);
    // A component of the storage's entries from first on, whose designator lives as long as the
    // storage.
    Component(std::shared_ptr<const DesignStorage> storage, std::string_view refdes,
              std::uint32_t first, std::uint32_t oats, std::uint32_t attributes,
              std::uint32_t symbol) noexcept;

    std::string_view Refdes;
    AttributeCollection OATList;  // object attributes, answered by OATs("", name)
    AttributeCollection Attributes;
    design::Symbol Symbol;

    AttributeMatches OATs(std::string_view kind, std::string_view name) const noexcept;
    // The storage the collections view; null for a default-made component.
    const DesignStorage* storage() const noexcept { return storage_.get(); }

private:
    std::shared_ptr<const DesignStorage> storage_;
};

// Adds a component to the storage: its texts copied in, its names interned.
Component addComponent(const std::shared_ptr<DesignStorage>& storage, std::string_view refdes,
                       std::span<const AttributeView> oats,
                       std::span<const AttributeView> attributes,
                       std::span<const AttributeView> symbol);

// The most components a design may have: about 80 bytes of memory each at the least, so that a
// design of empty components cannot ask for gigabytes.
constexpr std::uint32_t maxDesignComponents = 5'000'000;

// The flattened design's component collection, in the tool's enumeration order.
struct FlattenedDesign {
    std::vector<Component> components;

    // Appends a component whose texts are copied into the storage that the design's added
    // components share. Throws Error DesignTooLarge past maxDesignComponents.
    void add(std::string_view refdes, std::span<const AttributeView> oats,
             std::span<const AttributeView> attributes, std::span<const AttributeView> symbol);

    const std::vector<Component>& Components(const std::string& filter) const;
    int Count() const noexcept { return static_cast<int>(components.size()); }

private:
    std::shared_ptr<DesignStorage> storage_;
};

// The value of an attribute on a component: First's Value of the first non-empty collection of
// OATs("", name), Attributes(name), Symbol.Attributes(name); empty when all three are.
std::string_view attributeValue(const Component& component, std::string_view name) noexcept;

}  // namespace vexlo::design
