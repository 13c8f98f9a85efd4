#include "report/designtable.h"

#include <unordered_set>

namespace vexlo::report {

namespace {

constexpr std::string_view lineBreaks = "\t\r\n";

std::string withSpaces(std::string text) {
    for (std::size_t at = text.find_first_of(lineBreaks); at != std::string::npos;
         at = text.find_first_of(lineBreaks, at + 1)) {
        text[at] = ' ';
    }
    return text;
}

}  // namespace

Table buildTable(const design::FlattenedDesign& design, const std::vector<std::string>& columns) {
    Table table;
    table.columns = columns;
    for (const std::string& name : columns) {
        table.header.push_back(withSpaces(name));
    }
    if (table.header.empty()) {
        table.header.emplace_back();
    }
    const auto& components = design.Components("");
    table.cells.reserve(components.size() * table.width());
    std::unordered_set<std::string_view> met;
    met.reserve(components.size());
    for (const design::Component& component : components) {
        if (component.Refdes.empty() || !met.insert(component.Refdes).second) {
            continue;
        }
        if (columns.empty()) {
            table.cells.emplace_back();
        }
        for (const std::string& name : columns) {
            if (name == "QTY") {
                table.cells.emplace_back("1");
                continue;
            }
            const std::string& value = design::attributeValue(component, name);
            table.cells.emplace_back(value.find_first_of(lineBreaks) == std::string::npos
                                         ? std::string_view(value)
                                         : table.keep(withSpaces(value)));
        }
    }
    return table;
}

}  // namespace vexlo::report
