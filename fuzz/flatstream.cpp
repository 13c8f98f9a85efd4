// The flattened design as the tool sends it. A stream is refused with an Error unless it is
// exactly what the writer makes of the design it gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/error.h"
#include "dbus/flatstream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const vexlo::design::FlattenedDesign design = vexlo::dbus::readFlatStream(bytes);
        if (vexlo::dbus::writeFlatStream(design) != bytes) {
            std::abort();
        }
    } catch (const vexlo::Error&) {
    }
    return 0;
}
