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

// The fields of one line of KiCad's CSV, every field quoted.
Strings csvFields(const std::string& line) {
    Strings fields;
    std::istringstream in(line);
    for (std::string field; in >> std::quoted(field);) {
        fields.push_back(field);
        in.ignore(1);  // the comma
    }
    return fields;
}

// The designators of each group of KiCad's "Collated Components" table.
Strings kicadGroups(const std::string& project) {
    std::istringstream in(test::readFile(netlists + project + ".kicad-grouped.csv"));
    Strings groups;
    bool collated = false;
    for (std::string line; std::getline(in, line);) {
        const Strings fields = csvFields(line);
        if (fields.size() == 1 && fields[0] == "Collated Components:") {
            collated = true;
        } else if (collated && fields.size() > 2 && fields[0] != "Item") {
            groups.push_back(fields[2]);
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
        TableRules rules;
        rules.designators = true;
        Table table = buildTable(design.flattened, {"REFDES", "Value", "Footprint", "QTY"}, rules);
        const Grouping grouping = groupByKey(table, {"Value", "Footprint"}, RefdesOrder::Natural);
        Strings groups;
        for (std::size_t run = 0; run < grouping.starts.size(); ++run) {
            const std::size_t end =
                run + 1 < grouping.starts.size() ? grouping.starts[run + 1] : table.rowCount();
            groups.push_back(joinDesignators(
                {table.designators.begin() + grouping.starts[run], table.designators.begin() + end},
                RefdesOrder::Natural));
        }
        std::ranges::sort(groups);
        const Strings kicad = kicadGroups(project);
        EXPECT_GT(kicad.size(), 20u);
        EXPECT_EQ(groups, kicad);
        EXPECT_EQ(grouping.mixed.size(), 0u);  // the columns differ in no group
        // By Value alone some groups join parts of other footprints, and say so.
        Table byValue = buildTable(design.flattened, {"REFDES", "Value", "Footprint", "QTY"});
        EXPECT_GT(groupByKey(byValue, {"Value"}, RefdesOrder::Natural).mixed.size(), 0u);
    }
}

}  // namespace
}  // namespace vexlo::report
