// KiCad's own grouped BOMs: three netlists KiCad 6.0.11 wrote for its demo projects, each beside
// the grouped BOM its stock generator wrote from it. Compressed by Value and Footprint, each
// netlist gives exactly KiCad's groups.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "designfile/designfile.h"
#include "report/table/designtable.h"
#include "report/table/table.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

using Strings = std::vector<std::string>;

const std::string netlists = test::sourceDir() + "/tests/designfile/data/kicad6-netlists/";

// The designators of each group of KiCad's "Collated Components" table, its third field.
Strings kicadGroups(const std::string& project) {
    const std::string csv = test::readFile(netlists + project + ".kicad-grouped.csv");
    std::istringstream in(csv.substr(csv.find("\"Collated Components:\"")));
    Strings groups;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string item, quantity, references;
        for (std::string* field : {&item, &quantity, &references}) {
            fields >> std::quoted(*field);
            fields.ignore(1);  // the comma
        }
        if (fields && item != "Item") {
            groups.push_back(references);
        }
    }
    std::ranges::sort(groups);
    return groups;
}

TEST(KicadGroups, ValueAndFootprintGiveTheGroupsOfKicadsOwnBom) {
    for (const char* project : {"complex_hierarchy", "video", "pic_programmer"}) {
        SCOPED_TRACE(project);
        const designfile::LoadedDesign design =
            designfile::readDesignFile(netlists + project + ".xml");
        const Strings columns = {"REFDES", "Value", "Footprint", "QTY"};
        Table table = buildTable(design.flattened, columns);
        const Grouping grouping =
            compressTable(table, {"Value", "Footprint"}, RefdesOrder::Natural);
        Strings groups;
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            groups.emplace_back(table.cell(row, 0));
        }
        std::ranges::sort(groups);
        const Strings kicad = kicadGroups(project);
        EXPECT_GT(kicad.size(), 20u);
        EXPECT_EQ(groups, kicad);
        EXPECT_EQ(grouping.mixed.size(), 0u);  // the columns differ in no group
        // By Value alone some groups join parts of other footprints, and say so.
        Table byValue = buildTable(design.flattened, columns);
        EXPECT_GT(groupByKey(byValue, {"Value"}, RefdesOrder::Natural).mixed.size(), 0u);
    }
}

}  // namespace
}  // namespace vexlo::report
