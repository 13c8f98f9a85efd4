#include "design/flatdesign.h"

#include <algorithm>

#include "common/error.h"

namespace vexlo::design {

AttributeMatches AttributeCollection::byName(std::string_view name) const noexcept {
    AttributeMatches matches;
    const NameId id = storage_ != nullptr ? storage_->find(name) : noName;
    if (id == noName) {
        return matches;
    }
    for (const AttributeEntry& entry : entries()) {
        if (entry.name == id) {
            if (matches.count == 0) {
                matches.first = AttributeView{storage_->name(id), entry.Value()};
            }
            ++matches.count;
        }
    }
    return matches;
}

Component::Component(std::string_view refdes, std::span<const AttributeView> oats,
                     std::span<const AttributeView> attributes,
                     std::span<const AttributeView> symbol)
    : Component(addComponent(std::make_shared<DesignStorage>(), refdes, oats, attributes, symbol)) {
}

Component::Component(std::shared_ptr<const DesignStorage> storage, std::string_view refdes,
                     std::uint32_t first, std::uint32_t oats, std::uint32_t attributes,
                     std::uint32_t symbol) noexcept
    : Refdes(refdes),
      OATList(storage.get(), first, oats),
      Attributes(storage.get(), first + oats, attributes),
      Symbol{AttributeCollection(storage.get(), first + oats + attributes, symbol)},
      storage_(std::move(storage)) {}

Component addComponent(const std::shared_ptr<DesignStorage>& storage, std::string_view refdes,
                       std::span<const AttributeView> oats,
                       std::span<const AttributeView> attributes,
                       std::span<const AttributeView> symbol) {
    const std::size_t first = storage->entryCount();
    for (const auto collection : {oats, attributes, symbol}) {
        for (const AttributeView& attribute : collection) {
            const NameId name = storage->intern(attribute.Name);
            storage->add(name, storage->keep(attribute.Value));
        }
    }
    return Component(storage, storage->keep(refdes), static_cast<std::uint32_t>(first),
                     static_cast<std::uint32_t>(oats.size()),
                     static_cast<std::uint32_t>(attributes.size()),
                     static_cast<std::uint32_t>(symbol.size()));
}

AttributeMatches Component::OATs(std::string_view /*kind*/, std::string_view name) const noexcept {
    return OATList.byName(name);
}

void FlattenedDesign::add(std::string_view refdes, std::span<const AttributeView> oats,
                          std::span<const AttributeView> attributes,
                          std::span<const AttributeView> symbol) {
    if (components.size() >= maxDesignComponents) {
        throw Error(errc::DesignTooLarge, "The design has more than the " +
                                              std::to_string(maxDesignComponents) +
                                              " components this program reads");
    }
    if (!storage_) {
        storage_ = std::make_shared<DesignStorage>();
    }
    components.push_back(addComponent(storage_, refdes, oats, attributes, symbol));
}

const std::vector<Component>& FlattenedDesign::Components(const std::string& /*filter*/) const {
    return components;
}

std::string_view attributeValue(const Component& component, std::string_view name) noexcept {
    const DesignStorage* storage = component.storage();
    const NameId id = storage != nullptr ? storage->find(name) : noName;
    if (id == noName) {
        return {};
    }
    // The collections in lookup order: the first entry of the name is the first one's First.
    for (const AttributeCollection* collection :
         {&component.OATList, &component.Attributes, &component.Symbol.Attributes}) {
        for (const AttributeEntry& entry : collection->entries()) {
            if (entry.name == id) {
                return entry.Value();
            }
        }
    }
    return {};
}

}  // namespace vexlo::design
