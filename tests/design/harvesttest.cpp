#include "design/harvest.h"

#include <gtest/gtest.h>

#include "faketool.h"

namespace vexlo::design {
namespace {

using Names = std::vector<std::string>;

TEST(Harvest, NamesInFirstMetOrderOwnBeforeSymbol) {
    FlattenedDesign design;
    design.components = {
        makeComponent("R1", {{"Value", "1k"}, {"Footprint", "0603"}}, {{"Device", "RES"}}),
        makeComponent("C1", {{"Voltage", "50V"}, {"Value", "1u"}}, {{"Footprint", "0805"}}),
    };
    EXPECT_EQ(harvestAttributeNames(design), (Names{"Value", "Footprint", "Device", "Voltage"}));
}

TEST(Harvest, SharedDesignatorTakesFirstComponentOnly) {
    FlattenedDesign design;
    design.components = {
        makeComponent("U1", {{"Gate", "A"}}),
        makeComponent("U1", {{"Gate", "B"}, {"Power", "VCC"}}),
    };
    EXPECT_EQ(harvestAttributeNames(design), (Names{"Gate"}));
}

TEST(Harvest, EmptyDesignatorContributesNothing) {
    FlattenedDesign design;
    design.components = {
        makeComponent("", {{"Only Here", "x"}}),
        makeComponent("R1", {{"Value", "1k"}}),
    };
    EXPECT_EQ(harvestAttributeNames(design), (Names{"Value"}));
}

TEST(Harvest, NameOnComponentAndSymbolListedOnceAtFirstPlace) {
    FlattenedDesign design;
    design.components = {
        makeComponent("R1", {{"Value", "1k"}}, {{"Device", "RES"}, {"Value", "?"}}),
    };
    EXPECT_EQ(harvestAttributeNames(design), (Names{"Value", "Device"}));
}

TEST(Harvest, NamesDifferingInCaseAreDistinct) {
    FlattenedDesign design;
    design.components = {makeComponent("R1", {{"Value", "1k"}, {"VALUE", "1k"}, {"value", ""}})};
    EXPECT_EQ(harvestAttributeNames(design), (Names{"Value", "VALUE", "value"}));
}

TEST(Harvest, CommasInDesignatorsAndNamesDoNotHideOthers) {
    // With a search inside comma-joined text, "A,B" would hide a later "A" and "B".
    FlattenedDesign design;
    design.components = {
        makeComponent("R1,R2", {{"X,Y", "1"}}),
        makeComponent("R1", {{"X", "2"}}),
        makeComponent("R2", {{"Y", "3"}}),
    };
    EXPECT_EQ(harvestAttributeNames(design), (Names{"X,Y", "X", "Y"}));
}

TEST(Harvest, EmptyDesignGivesNoNames) {
    EXPECT_TRUE(harvestAttributeNames(FlattenedDesign{}).empty());
}

TEST(Harvest, MoreThan32767NamesAreAllKept) {
    FlattenedDesign design;
    std::vector<Attribute> attributes;
    for (int i = 0; i < 40000; ++i) {
        attributes.push_back({"A" + std::to_string(i), ""});
    }
    design.components = {makeComponent("U1", attributes)};
    const auto names = harvestAttributeNames(design);
    ASSERT_EQ(names.size(), 40000u);
    EXPECT_EQ(names.back(), "A39999");
}

}  // namespace
}  // namespace vexlo::design
