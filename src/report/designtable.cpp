#include "report/designtable.h"

#include <algorithm>
#include <unordered_set>

namespace vexlo::report {

namespace {

bool breaksLines(char c) noexcept {
    return c == '\t' || c == '\r' || c == '\n';
}

std::string withSpaces(std::string text) {
    std::replace_if(text.begin(), text.end(), breaksLines, ' ');
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
    std::vector<bool> isQuantity;
    for (const std::string& name : columns) {
        isQuantity.push_back(name == "QTY");
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
        for (std::size_t column = 0; column < columns.size(); ++column) {
            if (isQuantity[column]) {
                table.cells.emplace_back("1");
                continue;
            }
            const std::string_view value = design::attributeValue(component, columns[column]);
            table.cells.emplace_back(std::none_of(value.begin(), value.end(), breaksLines)
                                         ? value
                                         : table.keep(withSpaces(std::string(value))));
        }
    }
    return table;
}

}  // namespace vexlo::report
