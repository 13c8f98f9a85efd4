#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "design/harvest.h"
#include "faketool.h"

namespace vexlo::design {
namespace {

// The harvested names against a model, on random designs whose components share a storage or
// have their own, and whose names repeat and differ in case alone.
TEST(HarvestAttributeNames, AgreesWithAModelOnRandomDesigns) {
    const std::vector<std::string> names = {"Value", "value", "A", "", "REFDES"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        FlattenedDesign design;
        std::vector<std::string> expected;
        std::set<std::string> met;
        for (int i = static_cast<int>(random() % 10); i > 0; --i) {
            const std::string refdes = random() % 6 == 0 ? "" : "R" + std::to_string(random() % 5);
            std::vector<Attribute> collections[3];
            for (auto& pairs : collections) {
                for (int n = static_cast<int>(random() % 4); n > 0; --n) {
                    pairs.push_back({names[random() % names.size()], "v"});
                }
            }
            if (random() % 2 == 0) {
                design.components.push_back(
                    makeComponent(refdes, collections[1], collections[2], collections[0]));
            } else {
                std::vector<AttributeView> views[3];
                for (int k = 0; k < 3; ++k) {
                    for (const Attribute& pair : collections[k]) {
                        views[k].push_back({pair.Name, pair.Value});
                    }
                }
                design.add(refdes, views[0], views[1], views[2]);
            }
            if (refdes.empty() || !met.insert(refdes).second) {
                continue;
            }
            for (const auto& pairs : {collections[1], collections[2]}) {
                for (const Attribute& pair : pairs) {
                    if (std::find(expected.begin(), expected.end(), pair.Name) == expected.end()) {
                        expected.push_back(pair.Name);
                    }
                }
            }
        }
        EXPECT_EQ(harvestAttributeNames(design), expected);
    }
}

}  // namespace
}  // namespace vexlo::design
