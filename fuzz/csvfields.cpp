// The CSV report's fields: any texts joined as the report writes them read back, by the usual
// reading of quoted fields, as the same texts.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "report/writers/csvline.h"

namespace {

// Fields of one record: a quoted field runs to the quote not doubled; others end at a comma.
std::vector<std::string> readRecord(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (quoted) {
            if (c == '"' && at + 1 < line.size() && line[at + 1] == '"') {
                fields.back() += '"';
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::string> fields(input.ConsumeIntegralInRange<std::size_t>(1, 8));
    std::string line;
    for (auto& field : fields) {
        field = input.ConsumeRandomLengthString(30);
        if (&field != &fields.front()) {
            line += ',';
        }
        vexlo::report::appendCsvField(line, field);
    }
    if (readRecord(line) != fields) {
        std::abort();
    }
    return 0;
}
