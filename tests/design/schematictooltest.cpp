#include "design/schematictool.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "faketool.h"

namespace vexlo::design {
namespace {

struct LookupCase {
    const char* title;
    Component component;
    const char* name;
    const char* expected;
};

class AttributeLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(AttributeLookup, TakesFirstNonEmptyCollection) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(attributeValue(c.component, c.name), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Order, AttributeLookup,
    ::testing::Values(
        LookupCase{"ObjectAttributeWins",
                   makeComponent("R1", {{"Value", "attr"}}, {{"Value", "sym"}}, {{"Value", "oat"}}),
                   "Value", "oat"},
        LookupCase{"AttributeBeforeSymbol",
                   makeComponent("R1", {{"Value", "attr"}}, {{"Value", "sym"}}), "Value", "attr"},
        LookupCase{"SymbolLast", makeComponent("R1", {}, {{"Footprint", "0603"}}), "Footprint",
                   "0603"},
        LookupCase{"NowhereIsEmpty", makeComponent("R1", {{"Value", "1k"}}), "Tolerance", ""},
        LookupCase{"EmptyValueStopsLookup",
                   makeComponent("R1", {{"Value", ""}}, {{"Value", "sym"}}), "Value", ""},
        LookupCase{"FirstOfRepeatedName",
                   makeComponent("R1", {{"Value", "first"}, {"Value", "second"}}), "Value",
                   "first"},
        LookupCase{"NameIsCaseSensitive", makeComponent("R1", {{"value", "lower"}}), "Value", ""}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(DesignName, DropsLastTwoCharacters) {
    FakeTool tool;
    tool.documentName = "amp.1";
    EXPECT_EQ(designName(tool), "amp");
    tool.documentName = "ab";
    EXPECT_EQ(designName(tool), "");
    // Characters, not bytes: "Ω" is two bytes of UTF-8.
    tool.documentName = "filter\xce\xa9.1";
    EXPECT_EQ(designName(tool), "filter\xce\xa9");
    tool.documentName = "x\xce\xa9";
    EXPECT_EQ(designName(tool), "");
}

TEST(DesignName, TooShortDocumentNameFails) {
    FakeTool tool;
    tool.documentName = "x";
    try {
        designName(tool);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::BadDesignName);
        EXPECT_EQ(error.description,
                  "The document name \"x\" is too short to give a design name (it needs at least "
                  "two characters)");
    }
}

TEST(OpenFlattenedDesign, LoadsTheDesignOfTheActiveView) {
    FakeTool tool;
    tool.documentName = "cpu.1";
    tool.design->components.push_back(makeComponent("U1", {}));
    const auto design = openFlattenedDesign(tool);
    EXPECT_EQ(design->Count(), 1);
    EXPECT_EQ(tool.loadCount, 1);
}

TEST(OpenFlattenedDesign, NoActiveViewFails) {
    FakeTool tool;
    tool.documentName.reset();
    EXPECT_THROW(openFlattenedDesign(tool), Error);
    EXPECT_EQ(tool.loadCount, 0);
}

}  // namespace
}  // namespace vexlo::design
