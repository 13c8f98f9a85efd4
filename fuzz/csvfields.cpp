// The fields of a compressed-table line. Any line splits without fault, and fields joined as
// the table writes them split back into the same fields.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "report/csvline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexlo::report;
    splitCsvFields(std::string_view(reinterpret_cast<const char*>(data), size));

    FuzzedDataProvider input(data, size);
    std::vector<std::string> fields(input.ConsumeIntegralInRange<std::size_t>(1, 8));
    std::string line;
    for (auto& field : fields) {
        field = input.ConsumeRandomLengthString(30);
        if (&field != &fields.front()) {
            line += ',';
        }
        appendCsvField(line, field);
    }
    if (splitCsvFields(line) != fields) {
        std::abort();
    }
    return 0;
}
