#include "designfile/kicadpart.h"

#include "designfile/designerror.h"

namespace vexlo::designfile {

namespace {

constexpr std::size_t namedUnannotated = 5;

}  // namespace

void addKicadPart(design::FlattenedDesign& design, const KicadPart& part) {
    std::vector<design::AttributeView> attributes;
    for (const design::Attribute& field : part.fields) {
        attributes.push_back({field.Name, field.Value});
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
