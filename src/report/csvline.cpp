#include "report/csvline.h"

namespace vexlo::report {

void appendCsvField(std::string& line, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += text;
        return;
    }
    line += '"';
    for (const char c : text) {
        if (c == '"') {
            line += '"';
        }
        line += c;
    }
    line += '"';
}

std::vector<std::string> splitCsvFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (;;) {
        if (at < line.size() && line[at] == '"') {
            std::string field;
            std::size_t i = at + 1;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                field += line[i];
                ++i;
            }
            fields.push_back(std::move(field));
            if (!closed || i + 1 == line.size()) {
                return fields;
            }
            at = i + 2;
            continue;
        }
        const std::size_t comma = line.find(',', at);
        if (comma == std::string_view::npos) {
            fields.emplace_back(line.substr(at));
            return fields;
        }
        fields.emplace_back(line.substr(at, comma - at));
        at = comma + 1;
    }
}

}  // namespace vexlo::report
