#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "design/flatdesign.h"

namespace vexlo::designfile {

// One part as a KiCad reader hands it to the design: one placed unit of one sheet instance, or
// one component of a netlist.
struct KicadPart {
    std::string refdes;
    std::vector<design::Attribute> fields;  // the part's own fields, in file order
    bool dnp = false;
    std::string sheetpath;                                   // "/", "/Power/", ...
    const std::vector<design::Attribute>* symbol = nullptr;  // the library symbol's, if any
};

// Adds the part as a component: its fields, then the three attributes the program adds so that
// every report can name them: "REFDES" (the designator, which merged rows list), "DNP" ("DNP"
// for a part KiCad marks do-not-populate, else "") and "Sheetpath". These hold KiCad's marks
// whatever fields the symbol carries: a field of one of these names is kept as KiCad keeps a
// repeated field name, "DNP_1" (or the next number the part's fields leave free).
void addKicadPart(design::FlattenedDesign& design, const KicadPart& part);

// Power symbols and flags: KiCad leaves every designator that starts with "#" out of a BOM.
bool isPowerOrFlag(std::string_view refdes) noexcept;

// A designator KiCad has not numbered yet: "R?".
bool isUnannotated(std::string_view refdes) noexcept;

// Collects the unannotated designators of parts that would reach the BOM and refuses them all
// at once: merging "R?" with "R?" would quietly undercount.
class UnannotatedParts {
public:
    void note(const std::string& refdes);
    // Throws Error BadDesignFile naming the first few when any was noted.
    void refuse(const std::string& path) const;

private:
    std::vector<std::string> first_;
    std::size_t count_ = 0;
};

}  // namespace vexlo::designfile
