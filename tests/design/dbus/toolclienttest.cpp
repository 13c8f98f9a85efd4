#include "design/dbus/toolclient.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "common/error.h"
#include "design/faketool.h"
#include "simulator.h"

namespace vexlo::design::dbus {
namespace {

using test::DesignDocument;
using test::DesignSpec;
using test::RunningSimulator;

void expectError(const std::function<void()>& call, int number, const std::string& description) {
    try {
        call();
        ADD_FAILURE() << "no error; expected " << number << ": " << description;
    } catch (const Error& error) {
        EXPECT_EQ(error.number, number);
        EXPECT_EQ(error.description, description);
    }
}

void expectSameCollection(const AttributeCollection& actual, const AttributeCollection& expected) {
    ASSERT_EQ(actual.Count(), expected.Count());
    for (int i = 0; i < expected.Count(); ++i) {
        EXPECT_EQ(actual.items()[i].Name, expected.items()[i].Name);
        EXPECT_EQ(actual.items()[i].Value, expected.items()[i].Value);
    }
}

void expectSameComponent(const Component& actual, const Component& expected) {
    EXPECT_EQ(actual.Refdes, expected.Refdes);
    expectSameCollection(actual.OATList, expected.OATList);
    expectSameCollection(actual.Attributes, expected.Attributes);
    expectSameCollection(actual.Symbol.Attributes, expected.Symbol.Attributes);
}

class ToolClientTest : public ::testing::Test {
protected:
    // Serves the design from a file in the test's folder.
    std::unique_ptr<RunningSimulator> serve(const DesignSpec& design,
                                            const std::string& name = "design.json") {
        test::writeDesignJson(dir_.file(name), design);
        return std::make_unique<RunningSimulator>(std::vector<std::string>{dir_.file(name)});
    }

    test::TempDir dir_;
};

const DesignSpec amplifier{
    "/work/amp/",
    DesignDocument{"amp.1", "/work/amp/sch/"},
    {makeComponent("R1", {{"REFDES", "R1"}, {"Value", "10k"}, {"Value", "again"}},
                   {{"Footprint", "0603"}}, {{"Value", "9.76k"}}),
     makeComponent("", {{"Title", "Amp, \"rev B\" <draft> & µ/Ω"}}),
     makeComponent("U1", {}, {{"Pins", "8"}}), makeComponent("U1", {{"Gate", "B"}}, {}, {})}};

TEST_F(ToolClientTest, AnswersEveryMemberAsServed) {
    const auto simulator = serve(amplifier);
    const auto tool = connectToTool();
    EXPECT_EQ(tool->CurrentProject(), "/work/amp/");
    EXPECT_EQ(tool->ActiveViewDocumentName(), "amp.1");
    EXPECT_EQ(tool->ActiveDocumentPath(), "/work/amp/sch/");
    const auto design = openFlattenedDesign(*tool);
    ASSERT_EQ(design->Count(), 4);
    ASSERT_EQ(design->Components("").size(), 4u);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("component " + std::to_string(i));
        expectSameComponent(design->components[i], amplifier.components[i]);
    }
    // Each flatten call hands over a design of its own.
    EXPECT_EQ(tool->LoadGroupFlatten("amp")->Count(), 4);
}

struct LookupCase {
    const char* title;
    Component component;
    const char* expected;
    int oats, attributes, symbol;  // Count of each collection for "Value"
};

TEST_F(ToolClientTest, LookupOrderOnTheClientsObjects) {
    const std::vector<LookupCase> cases = {
        {"object attribute wins",
         makeComponent("A", {{"Value", "attr"}}, {{"Value", "sym"}}, {{"Value", "oat"}}), "oat", 1,
         1, 1},
        {"attribute before symbol", makeComponent("B", {{"Value", "attr"}}, {{"Value", "sym"}}),
         "attr", 0, 1, 1},
        {"symbol last", makeComponent("C", {{"Part", "x"}}, {{"Value", "sym"}}), "sym", 0, 0, 1},
        {"nowhere", makeComponent("D", {{"Part", "x"}}), "", 0, 0, 0},
        {"empty object attribute stops the lookup",
         makeComponent("E", {{"Value", "attr"}}, {}, {{"Value", ""}}), "", 1, 1, 0},
        {"first of a repeated name",
         makeComponent("F", {{"Value", "first"}, {"Other", "o"}, {"Value", "second"}}), "first", 0,
         2, 0},
        {"names are case-sensitive",
         makeComponent("G", {{"value", "lower"}, {"VALUE", "upper"}}, {}, {{"vAlue", "o"}}), "", 0,
         0, 0},
        {"other object attributes do not hide",
         makeComponent("H", {{"Value", "attr"}}, {}, {{"Tolerance", "5%"}}), "attr", 0, 1, 0},
    };
    DesignSpec spec{"/p/", DesignDocument{"lookup.1", "/p/sch/"}, {}};
    for (const auto& c : cases) {
        spec.components.push_back(c.component);
    }
    const auto simulator = serve(spec);
    const auto design = openFlattenedDesign(*connectToTool());
    ASSERT_EQ(design->Count(), static_cast<int>(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].title);
        const Component& component = design->components[i];
        EXPECT_EQ(attributeValue(component, "Value"), cases[i].expected);
        EXPECT_EQ(component.OATs("", "Value").Count(), cases[i].oats);
        EXPECT_EQ(component.Attributes.byName("Value").Count(), cases[i].attributes);
        EXPECT_EQ(component.Symbol.Attributes.byName("Value").Count(), cases[i].symbol);
    }
}

struct PathCase {
    const char* title;
    std::optional<std::string> written;  // nothing: the key is left out
    std::string expected;                // "<dir>" stands for the design file's folder
};

TEST_F(ToolClientTest, PathsAreReturnedAsWrittenRelativeOnesPrefixed) {
    const std::vector<PathCase> cases = {
        {"relative with trailing slash", "proj/sch/", "<dir>/proj/sch/"},
        {"relative without trailing slash", "proj/sch", "<dir>/proj/sch"},
        {"relative with dots", "../other/./sch/", "<dir>/../other/./sch/"},
        {"absolute with trailing slash", "/abs/proj/", "/abs/proj/"},
        {"absolute without trailing slash", "/abs/proj", "/abs/proj"},
        {"double slashes kept", "/abs//proj//", "/abs//proj//"},
        {"empty", "", "<dir>/"},
        {"left out", std::nullopt, "<dir>/"},
    };
    const std::string dir = dir_.path() + "/d";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        std::string expected = c.expected;
        if (expected.rfind("<dir>", 0) == 0) {
            expected.replace(0, 5, dir);
        }
        DesignSpec spec{c.written, DesignDocument{"x.1", c.written.value_or("")}, {}};
        const auto simulator = serve(spec, "d/design.json");
        const auto tool = connectToTool();
        EXPECT_EQ(tool->CurrentProject(), expected);
        EXPECT_EQ(tool->ActiveDocumentPath(), expected);
    }
}

TEST_F(ToolClientTest, NoDocumentFailsClearlyWhereOneIsNeeded) {
    const auto simulator = serve(DesignSpec{"/p/", std::nullopt, amplifier.components});
    const auto tool = connectToTool();
    EXPECT_EQ(tool->CurrentProject(), "/p/");
    expectError([&] { tool->ActiveViewDocumentName(); }, errc::NoActiveDocument,
                "The schematic tool has no active view");
    expectError([&] { tool->ActiveDocumentPath(); }, errc::NoActiveDocument,
                "The schematic tool has no active document");
    expectError([&] { tool->LoadGroupFlatten("amp"); }, errc::NoActiveDocument,
                "The schematic tool has no active view");
    expectError([&] { openFlattenedDesign(*tool); }, errc::NoActiveDocument,
                "The schematic tool has no active view");
}

TEST_F(ToolClientTest, LoadGroupTakesOnlyTheDesignName) {
    const auto simulator = serve(amplifier);
    const auto tool = connectToTool();
    for (const std::string wrong : {"amp.1", "", "AMP", "am", "amp ", "amp."}) {
        SCOPED_TRACE(wrong);
        expectError([&] { tool->LoadGroupFlatten(wrong); }, errc::ToolCallFailed,
                    "LoadGroup: no design named \"" + wrong + "\"");
    }
    EXPECT_EQ(tool->LoadGroupFlatten("amp")->Count(), 4);
}

TEST_F(ToolClientTest, ShortDocumentNameGivesNoDesign) {
    const auto simulator = serve(DesignSpec{"/p/", DesignDocument{"x", "/p/sch/"}, {}});
    const auto tool = connectToTool();
    expectError([&] { openFlattenedDesign(*tool); }, errc::BadDesignName,
                "The document name \"x\" is too short to give a design name (it needs at least "
                "two characters)");
    expectError([&] { tool->LoadGroupFlatten(""); }, errc::ToolCallFailed,
                "LoadGroup: no design named \"\"");
}

TEST_F(ToolClientTest, LargeDesignArrivesWhole) {
    constexpr std::size_t count = 200000;
    test::writeGeneratedDesign(dir_.file("big.json"), count, {"big.1", "/big/sch/"}, "/big/");
    const RunningSimulator simulator({dir_.file("big.json")}, std::chrono::minutes(2));
    const auto design = openFlattenedDesign(*connectToTool());
    ASSERT_EQ(design->Count(), static_cast<int>(count));
    for (const std::size_t index :
         {std::size_t{0}, std::size_t{1}, std::size_t{4}, std::size_t{99999}, count - 1}) {
        SCOPED_TRACE("component " + std::to_string(index));
        expectSameComponent(design->components[index], test::generatedComponent(index));
    }
}

TEST_F(ToolClientTest, AttachingNeedsARunningTool) {
    EXPECT_FALSE(toolIsRunning());
    expectError([] { connectToTool(); }, errc::ToolNotRunning,
                "The schematic tool is not running (nothing owns Quillion.Application on the "
                "session bus)");
    {
        const auto simulator = serve(amplifier);
        EXPECT_TRUE(toolIsRunning());
    }
    EXPECT_FALSE(toolIsRunning());
}

// A bus service file that would start a fake tool leaves a mark when it is used: the client
// must never start the tool, not when attaching and not when the tool closed under it.
TEST_F(ToolClientTest, NeverStartsTheTool) {
    ASSERT_NE(test::PrivateBus::current(), nullptr);
    const std::string services = test::PrivateBus::current()->serviceDir();
    const std::string mark = dir_.file("started");
    test::writeFile(dir_.file("start-tool.sh"), "#!/bin/sh\necho started > '" + mark + "'\n");
    std::filesystem::permissions(dir_.file("start-tool.sh"), std::filesystem::perms::owner_all);
    test::writeFile(
        services + "/Quillion.Application.service",
        "[D-BUS Service]\nName=Quillion.Application\nExec=" + dir_.file("start-tool.sh") + "\n");

    expectError([] { connectToTool(); }, errc::ToolNotRunning,
                "The schematic tool is not running (nothing owns Quillion.Application on the "
                "session bus)");
    {
        auto simulator = serve(amplifier);
        const auto tool = connectToTool();
        simulator->stop();
        expectError([&] { tool->CurrentProject(); }, errc::ToolNotRunning,
                    "The schematic tool is not running (it closed before answering "
                    "CurrentProject)");
        expectError([&] { tool->LoadGroupFlatten("amp"); }, errc::ToolNotRunning,
                    "The schematic tool is not running (it closed before answering "
                    "LoadGroupFlatten)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(mark));

    // The same call with auto-start on does start it: the service file works.
    QDBusMessage call = QDBusMessage::createMethodCall(
        "Quillion.Application", "/Quillion/Application", "Quillion.Application", "CurrentProject");
    QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    EXPECT_TRUE(std::filesystem::exists(mark));
}

}  // namespace
}  // namespace vexlo::design::dbus
