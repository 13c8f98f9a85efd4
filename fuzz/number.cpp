// Number texts: the table's readNumber and the workbook's canonical-number test. A canonical
// text is exactly the formatted form of its value and reads as that value; every finite number
// formats to a text that reads back as the same number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report/table/table.h"
#include "workbook/cellnumber.h"

namespace {

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// The value's formatted text reads back as the value, and is canonical only as that value.
void checkFormatted(double value) {
    using namespace vexlo::report;
    using namespace vexlo::workbook;
    const std::string text = formatNumber(value);
    const auto read = readNumber(text);
    check(read.has_value() && (*read == value || (value == 0 && *read == 0)));
    double canonical = 0;
    if (isCanonicalNumber(text, canonical)) {
        check(canonical == value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexlo::report;
    using namespace vexlo::workbook;
    const std::string text(reinterpret_cast<const char*>(data), size);
    double value = 0;
    if (isCanonicalNumber(text, value)) {
        check(formatNumber(value) == text);
        const auto read = readNumber(text);
        check(read.has_value() && *read == value);
    }
    if (const auto read = readNumber(text); read && std::isfinite(*read)) {
        checkFormatted(*read);
    }
    if (size == sizeof(double)) {
        std::memcpy(&value, data, sizeof value);
        if (std::isfinite(value)) {
            checkFormatted(value);
        }
    }
    return 0;
}
