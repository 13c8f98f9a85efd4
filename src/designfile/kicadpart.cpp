#include "designfile/kicadpart.h"

#include <algorithm>
#include <array>

#include "designfile/designerror.h"

namespace vexlo::designfile {

namespace {

constexpr std::size_t namedUnannotated = 5;

// The attributes the program derives from KiCad's marks.
constexpr std::array<std::string_view, 3> derivedNames{"REFDES", "DNP", "Sheetpath"};

// The fields' names, a field named as a derived attribute renamed as KiCad renames a repeated
// field: NAME_1, or the next number no other field of the part has.
std::vector<std::string> fieldNames(const std::vector<design::Attribute>& fields) {
    std::vector<std::string> names;
    for (const design::Attribute& field : fields) {
        names.push_back(field.Name);
    }
    const auto taken = [&names](const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (std::string& name : names) {
        if (std::find(derivedNames.begin(), derivedNames.end(), name) == derivedNames.end()) {
            continue;
        }
        std::string kept;
        for (int number = 1; kept.empty() || taken(kept); ++number) {
            kept = name + "_" + std::to_string(number);
        }
        name = std::move(kept);
    }
    return names;
}

}  // namespace

void addKicadPart(design::FlattenedDesign& design, const KicadPart& part) {
    const std::vector<std::string> names = fieldNames(part.fields);
    std::vector<design::AttributeView> attributes;
    for (std::size_t i = 0; i < part.fields.size(); ++i) {
        attributes.push_back({names[i], part.fields[i].Value});
    }
    attributes.push_back({"REFDES", part.refdes});
    attributes.push_back({"DNP", part.dnp ? "DNP" : ""});
    attributes.push_back({"Sheetpath", part.sheetpath});
    std::vector<design::AttributeView> symbol;
    if (part.symbol != nullptr) {
        for (const design::Attribute& field : *part.symbol) {
            symbol.push_back({field.Name, field.Value});
        }
    }
    design.add(part.refdes, {}, attributes, symbol);
}

bool isPowerOrFlag(std::string_view refdes) noexcept {
    return refdes.starts_with('#');
}

bool isUnannotated(std::string_view refdes) noexcept {
    return refdes.ends_with('?');
}

void UnannotatedParts::note(const std::string& refdes) {
    if (first_.size() < namedUnannotated) {
        first_.push_back(refdes);
    }
    ++count_;
}

void UnannotatedParts::refuse(const std::string& path) const {
    if (count_ == 0) {
        return;
    }
    std::string named;
    for (const std::string& refdes : first_) {
        named += (named.empty() ? "" : ", ") + refdes;
    }
    if (count_ > first_.size()) {
        named += " and " + std::to_string(count_ - first_.size()) + " more";
    }
    fail(path, std::to_string(count_) + (count_ == 1 ? " part is" : " parts are") +
                   " not annotated (" + named +
                   "): annotate the schematic in KiCad first, so that each part has its own "
                   "designator");
}

}  // namespace vexlo::designfile
