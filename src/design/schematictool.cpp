#include "design/schematictool.h"

#include <algorithm>
#include <new>

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::design {

AttributeMatches AttributeCollection::byName(std::string_view name) const noexcept {
    AttributeMatches matches;
    for (const AttributeView* attribute = begin_; attribute != end_; ++attribute) {
        if (attribute->Name == name) {
            if (matches.count == 0) {
                matches.first = attribute;
            }
            ++matches.count;
        }
    }
    return matches;
}

Component::Component(std::string_view refdes, std::span<const AttributeView> oats,
                     std::span<const AttributeView> attributes,
                     std::span<const AttributeView> symbol) {
    // One block: the attribute views first, then every text they view.
    const std::size_t count = oats.size() + attributes.size() + symbol.size();
    std::size_t textBytes = refdes.size();
    for (const auto collection : {oats, attributes, symbol}) {
        for (const AttributeView& attribute : collection) {
            textBytes += attribute.Name.size() + attribute.Value.size();
        }
    }
    std::shared_ptr<char[]> block(new char[count * sizeof(AttributeView) + textBytes]);
    auto* views = reinterpret_cast<AttributeView*>(block.get());
    char* text = block.get() + count * sizeof(AttributeView);
    const auto keep = [&text](std::string_view from) {
        std::copy(from.begin(), from.end(), text);
        const std::string_view kept(text, from.size());
        text += from.size();
        return kept;
    };
    Refdes = keep(refdes);
    AttributeView* next = views;
    const auto place = [&](std::span<const AttributeView> collection) {
        AttributeView* first = next;
        for (const AttributeView& attribute : collection) {
            const std::string_view name = keep(attribute.Name);
            new (next++) AttributeView{name, keep(attribute.Value)};
        }
        return AttributeCollection(first, next);
    };
    OATList = place(oats);
    Attributes = place(attributes);
    Symbol.Attributes = place(symbol);
    storage_ = std::move(block);
}

AttributeMatches Component::OATs(std::string_view /*kind*/, std::string_view name) const noexcept {
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

std::string_view attributeValue(const Component& component, std::string_view name) noexcept {
    for (const AttributeMatches found :
         {component.OATs("", name), component.Attributes.byName(name),
          component.Symbol.Attributes.byName(name)}) {
        if (found.Count() != 0) {
            return found.First().Value;
        }
    }
    return {};
}

}  // namespace vexlo::design
