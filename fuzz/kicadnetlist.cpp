// KiCad's XML netlist as any tool or a broken disk may leave it, read by the design reader.
// Error BadDesignFile is the answer to bad input; anything else escaping, a crash or a sanitizer
// report is a failure. Every part read keeps KiCad's marks in the attributes the program derives:
// its designator in "Reference" and "REFDES", "DNP" either "DNP" or empty, whatever fields it
// holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "designfile/kicadnetlist.h"

namespace {

void checkPart(const vexlo::design::Component& component) {
    std::size_t bytes = 0;
    for (const vexlo::design::AttributeCollection* attributes :
         {&component.OATList, &component.Attributes, &component.Symbol.Attributes}) {
        for (const vexlo::design::AttributeView& attribute : *attributes) {
            bytes += std::string(attribute.Name).size() + std::string(attribute.Value).size();
        }
    }
    const auto reference = component.Attributes.byName("Reference");
    const auto refdes = component.Attributes.byName("REFDES");
    const auto dnp = component.Attributes.byName("DNP").First().Value;
    if (component.Refdes.empty() || refdes.Count() != 1 ||
        refdes.First().Value != component.Refdes || reference.Count() != 1 ||
        reference.First().Value != component.Refdes ||
        component.Attributes.byName("DNP").Count() != 1 || (dnp != "DNP" && !dnp.empty()) ||
        bytes == 0) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const vexlo::designfile::LoadedDesign design =
            vexlo::designfile::readKicadNetlist("netlist.xml", bytes, {});
        for (const vexlo::design::Component& component : design.flattened.components) {
            checkPart(component);
        }
    } catch (const vexlo::Error& error) {
        if (error.number != vexlo::errc::BadDesignFile) {
            throw;
        }
    }
    return 0;
}
