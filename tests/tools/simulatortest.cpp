#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "design/dbus/toolclient.h"
#include "design/faketool.h"
#include "simulator.h"

namespace vexlo::test {
namespace {

namespace fs = std::filesystem;
using design::Component;
using design::FlattenedDesign;

const auto* const privateBus = ::testing::AddGlobalTestEnvironment(new PrivateBusEnvironment);

const std::string ownedMessage =
    "schemora-sim: Quillion.Application is already owned on the session bus: another schematic "
    "tool is running\n";

TEST(Simulator, ServesADesignFileAndSaysSo) {
    TempDir dir;
    writeDesignJson(
        dir.file("amp.json"),
        {"amp/", DesignDocument{"amp.1", "amp/sch/"}, {design::makeComponent("R1", {})}});
    RunningSimulator simulator({dir.file("amp.json")});
    EXPECT_EQ(simulator.readyLine(),
              "schemora-sim: ready: Quillion.Application serving \"amp.1\" "
              "(project " +
                  dir.path() + "/amp/, 1 components)");
    EXPECT_TRUE(design::dbus::toolIsRunning());
    EXPECT_EQ(simulator.stop(), 0);
    EXPECT_EQ(simulator.errorOutput(), "");
    EXPECT_EQ(dir.listing(),
              std::vector<std::string>{"amp.json"});  // a design file creates nothing
}

TEST(Simulator, SaysWhenItServesNoDocument) {
    TempDir dir;
    writeDesignJson(dir.file("empty.json"), {"/p/", std::nullopt, {}});
    RunningSimulator simulator({dir.file("empty.json")});
    EXPECT_EQ(simulator.readyLine(),
              "schemora-sim: ready: Quillion.Application serving no document (project /p/, 0 "
              "components)");
}

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, EndsCleanlyAndReleasesTheName) {
    TempDir root;
    RunningSimulator simulator({"--root", root.path()});
    ASSERT_TRUE(design::dbus::toolIsRunning());
    EXPECT_EQ(simulator.stop(GetParam()), 0);
    EXPECT_FALSE(design::dbus::toolIsRunning());
    EXPECT_EQ(simulator.errorOutput(), "");
    // The name is free again: a new simulator gets it.
    RunningSimulator next({"--root", root.path()});
    EXPECT_TRUE(design::dbus::toolIsRunning());
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) {
                             return std::string(info.param == SIGTERM ? "Term" : "Int");
                         });

TEST(Simulator, RefusesWhenTheNameIsOwned) {
    TempDir root;
    RunningSimulator first({"--root", root.path()});
    const SimulatorRun second = runSimulator({"--root", root.path()});
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(second.err, ownedMessage);
    // The first one still serves.
    EXPECT_EQ(design::dbus::connectToTool()->CurrentProject(), root.path() + "/sample-board/");
}

TEST(Simulator, NeedsASessionBus) {
    TempDir dir;
    writeDesignJson(dir.file("empty.json"), {});
    const std::string address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.file("no-bus")).c_str(), 1);
    const SimulatorRun run = runSimulator({dir.file("empty.json")});
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("schemora-sim: no D-Bus session bus: ", 0), 0u) << run.err;
}

TEST(Simulator, HelpDescribesTheCommandLine) {
    const SimulatorRun run = runSimulator({"--help"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out.rfind("Usage: schemora-sim [--root DIR] [DESIGN.json]\n", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(design::dbus::toolIsRunning());
}

struct BadInputCase {
    const char* title;
    std::vector<std::string> arguments;  // "<file>" is the design file below
    const char* content;                 // nothing: no file is written
    const char* message;                 // "<file>" is its path
};

class BadInput : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadInput, IsRefusedWithExitStatusTwo) {
    TempDir dir;
    const std::string file = dir.file("design.json");
    if (GetParam().content != nullptr) {
        writeFile(file, GetParam().content);
    }
    std::vector<std::string> arguments = GetParam().arguments;
    for (auto& argument : arguments) {
        if (argument == "<file>") {
            argument = file;
        }
    }
    std::string expected = std::string("schemora-sim: ") + GetParam().message + "\n";
    for (std::size_t at; (at = expected.find("<file>")) != std::string::npos;) {
        expected.replace(at, 6, file);
    }
    const SimulatorRun run = runSimulator(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, expected);
    EXPECT_FALSE(design::dbus::toolIsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInput,
    ::testing::Values(
        BadInputCase{"MissingFile",
                     {"<file>"},
                     nullptr,
                     "cannot read design file \"<file>\": No such file or directory"},
        BadInputCase{"FolderInsteadOfFile",
                     {"/"},
                     nullptr,
                     "cannot read design file \"/\": file to open is a directory"},
        BadInputCase{"EmptyFile",
                     {"<file>"},
                     "",
                     "<file>: invalid JSON near line 1, column 1: illegal value"},
        BadInputCase{"BrokenJson",
                     {"<file>"},
                     "{\n  \"project\": \"p/\",\n  \"components\": [\n}",
                     "<file>: invalid JSON near line 4, column 2: object is missing after a comma"},
        BadInputCase{
            "TrailingComma",
            {"<file>"},
            "{\"project\": \"p/\",}",
            "<file>: invalid JSON near line 1, column 19: object is missing after a comma"},
        BadInputCase{"TopLevelList", {"<file>"}, "[]", "<file>: expected a JSON object at the top"},
        BadInputCase{"UnknownTopKey",
                     {"<file>"},
                     "{\"component\": []}",
                     "<file>: unknown key \"component\""},
        BadInputCase{
            "ProjectNotText", {"<file>"}, "{\"project\": 7}", "<file>: project: expected a string"},
        BadInputCase{"DocumentNotObject",
                     {"<file>"},
                     "{\"document\": \"a.1\"}",
                     "<file>: document: expected an object"},
        BadInputCase{"UnknownDocumentKey",
                     {"<file>"},
                     "{\"document\": {\"Name\": \"a.1\"}}",
                     "<file>: document: unknown key \"Name\""},
        BadInputCase{"DocumentNameNull",
                     {"<file>"},
                     "{\"document\": {\"name\": null}}",
                     "<file>: document.name: expected a string"},
        BadInputCase{"ComponentsNotList",
                     {"<file>"},
                     "{\"components\": {}}",
                     "<file>: components: expected a list of components"},
        BadInputCase{"ComponentNotObject",
                     {"<file>"},
                     "{\"components\": [{}, \"R1\"]}",
                     "<file>: components[1]: expected a component object"},
        BadInputCase{"RefdesNotText",
                     {"<file>"},
                     "{\"components\": [{\"refdes\": 1}]}",
                     "<file>: components[0].refdes: expected a string"},
        BadInputCase{"UnknownComponentKey",
                     {"<file>"},
                     "{\"components\": [{\"refdes\": \"R1\", \"attribute\": []}]}",
                     "<file>: components[0]: unknown key \"attribute\""},
        BadInputCase{"PairsNotList",
                     {"<file>"},
                     "{\"components\": [{\"oats\": {\"a\": \"b\"}}]}",
                     "<file>: components[0].oats: expected a list of [name, value] pairs"},
        BadInputCase{
            "PairOfThree",
            {"<file>"},
            "{\"components\": [{\"attributes\": [[\"a\", \"b\"], [\"a\", \"b\", \"c\"]]}]}",
            "<file>: components[0].attributes[1]: expected a [name, value] pair of "
            "strings"},
        BadInputCase{"NumberValue",
                     {"<file>"},
                     "{\"components\": [{\"symbol\": [[\"Pins\", 8]]}]}",
                     "<file>: components[0].symbol[0]: expected a [name, value] pair of strings"},
        BadInputCase{
            "UnknownOption", {"--verbose"}, nullptr, "unknown option \"--verbose\" (see --help)"},
        BadInputCase{"TwoDesignFiles",
                     {"<file>", "<file>"},
                     "{}",
                     "more than one design file given (see --help)"},
        BadInputCase{"RootWithDesignFile",
                     {"--root", "/tmp", "<file>"},
                     "{}",
                     "--root applies to the built-in sample board only"},
        BadInputCase{"RootNotWritable",
                     {"--root", "/proc/vexlo"},
                     nullptr,
                     "cannot create the sample board's folder \"/proc/vexlo/sample-board/\""}),
    [](const auto& info) { return std::string(info.param.title); });

// The sample board, as the client sees it, shows every feature the program handles.
class SampleBoard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new TempDir;
        simulator_ = new RunningSimulator({"--root", root_->path()});
        tool_ = design::dbus::connectToTool().release();
        design_ = new FlattenedDesign(*design::openFlattenedDesign(*tool_));
    }
    static void TearDownTestSuite() {
        delete design_;
        delete tool_;
        delete simulator_;
        delete root_;
    }

    static std::vector<const Component*> withRefdes(const std::string& refdes) {
        std::vector<const Component*> found;
        for (const Component& component : design_->components) {
            if (component.Refdes == refdes) {
                found.push_back(&component);
            }
        }
        return found;
    }

    static TempDir* root_;
    static RunningSimulator* simulator_;
    static design::SchematicTool* tool_;
    static FlattenedDesign* design_;
};

TempDir* SampleBoard::root_ = nullptr;
RunningSimulator* SampleBoard::simulator_ = nullptr;
design::SchematicTool* SampleBoard::tool_ = nullptr;
FlattenedDesign* SampleBoard::design_ = nullptr;

TEST_F(SampleBoard, LivesInAProjectFolderUnderTheRoot) {
    EXPECT_EQ(tool_->CurrentProject(), root_->path() + "/sample-board/");
    EXPECT_EQ(tool_->ActiveViewDocumentName(), "sampleboard.1");
    EXPECT_EQ(tool_->ActiveDocumentPath(), root_->path() + "/sample-board/sch/");
    EXPECT_TRUE(fs::is_directory(root_->path() + "/sample-board/sch"));
    EXPECT_EQ(simulator_->readyLine(),
              "schemora-sim: ready: Quillion.Application serving \"sampleboard.1\" (project " +
                  root_->path() + "/sample-board/, 61 components)");
}

TEST_F(SampleBoard, RootDefaultsToTheCurrentFolder) {
    TempDir cwd;
    const fs::path before = fs::current_path();
    fs::current_path(cwd.path());
    const SimulatorRun run = runSimulator({});  // the name is owned: it ends, folders made
    fs::current_path(before);
    EXPECT_EQ(run.err, ownedMessage);
    EXPECT_TRUE(fs::is_directory(cwd.path() + "/sample-board/sch"));
}

TEST_F(SampleBoard, HasEverySortOfComponent) {
    EXPECT_GE(design_->Count(), 40);
    EXPECT_LE(design_->Count(), 80);
    // Every part carries the usual attributes, REFDES holding its reference designator.
    int parts = 0;
    for (const Component& component : design_->components) {
        const auto refdes = component.Attributes.byName("REFDES");
        if (component.Attributes.byName("Part Number").Count() != 0) {
            ++parts;
            SCOPED_TRACE(component.Refdes);
            ASSERT_EQ(refdes.Count(), 1);
            EXPECT_EQ(refdes.First().Value, component.Refdes);
        }
    }
    EXPECT_GE(parts, 40);
    for (const char* name : {"Part Number", "Value", "Footprint", "Description", "Manufacturer"}) {
        SCOPED_TRACE(name);
        EXPECT_GE(
            std::count_if(design_->components.begin(), design_->components.end(),
                          [&](const Component& c) { return !attributeValue(c, name).empty(); }),
            40);
    }
}

TEST_F(SampleBoard, HasAMultiGatePartWithDifferingGates) {
    const auto gates = withRefdes("U3");
    ASSERT_GE(gates.size(), 2u);
    std::set<std::string> names;
    for (const auto& attribute : gates[1]->Attributes) {
        names.insert(attribute.Name);
    }
    // A later gate has a name the first gate lacks, which the harvest must not list.
    bool laterOnly = false;
    for (const auto* gate : gates) {
        for (const auto& attribute : gate->Attributes) {
            laterOnly = laterOnly || gates[0]->Attributes.byName(attribute.Name).Count() == 0;
        }
    }
    EXPECT_TRUE(laterOnly);
    EXPECT_NE(attributeValue(*gates[0], "Gate"), attributeValue(*gates[1], "Gate"));
}

TEST_F(SampleBoard, HasComponentsWithoutReferenceDesignator) {
    const auto unnamed = withRefdes("");
    ASSERT_FALSE(unnamed.empty());
    // Their names appear on no named component.
    for (const auto& attribute : unnamed[0]->Attributes) {
        for (const Component& component : design_->components) {
            if (!component.Refdes.empty()) {
                EXPECT_EQ(component.Attributes.byName(attribute.Name).Count(), 0)
                    << attribute.Name << " on " << component.Refdes;
            }
        }
    }
}

TEST_F(SampleBoard, HasSymbolOnlyNamesObjectAttributesAndCaseTwins) {
    std::set<std::string> attributeNames, symbolNames;
    bool oatOverrides = false;
    for (const Component& component : design_->components) {
        for (const auto& a : component.Attributes) {
            attributeNames.insert(a.Name);
        }
        for (const auto& a : component.Symbol.Attributes) {
            symbolNames.insert(a.Name);
        }
        for (const auto& oat : component.OATList) {
            const auto plain = component.Attributes.byName(oat.Name);
            oatOverrides =
                oatOverrides || (plain.Count() != 0 && plain.First().Value != oat.Value &&
                                 attributeValue(component, oat.Name) == oat.Value);
        }
    }
    EXPECT_TRUE(oatOverrides);
    EXPECT_TRUE(std::any_of(symbolNames.begin(), symbolNames.end(),
                            [&](const auto& n) { return attributeNames.count(n) == 0; }));
    // A component whose Footprint lives on its symbol only.
    EXPECT_TRUE(
        std::any_of(design_->components.begin(), design_->components.end(), [](const Component& c) {
            return c.Attributes.byName("Footprint").Count() == 0 &&
                   c.Symbol.Attributes.byName("Footprint").Count() != 0;
        }));
    std::map<std::string, std::set<std::string>> byLowerCase;
    for (const auto& name : attributeNames) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        byLowerCase[lower].insert(name);
    }
    EXPECT_GE(byLowerCase["value"].size(), 3u);
    EXPECT_GE(byLowerCase["footprint"].size(), 2u);
}

TEST_F(SampleBoard, HasValuesThatNeedEscaping) {
    for (const std::string piece : {",", "\"", "<", "&", "µ", "Ω", "±", "ü"}) {
        SCOPED_TRACE(piece);
        EXPECT_TRUE(std::any_of(
            design_->components.begin(), design_->components.end(), [&](const Component& c) {
                return std::any_of(c.Attributes.begin(), c.Attributes.end(), [&](const auto& a) {
                    return a.Value.find(piece) != std::string::npos;
                });
            }));
    }
}

TEST_F(SampleBoard, CompressingMergesRows) {
    for (const char* key : {"Part Number", "Value"}) {
        SCOPED_TRACE(key);
        std::map<std::string, std::set<std::string>> refdesByKey;
        for (const Component& component : design_->components) {
            if (!component.Refdes.empty()) {
                refdesByKey[attributeValue(component, key)].insert(component.Refdes);
            }
        }
        std::size_t largest = 0;
        for (const auto& [value, refdes] : refdesByKey) {
            largest = std::max(largest, refdes.size());
        }
        EXPECT_GE(largest, 6u);
        EXPECT_LE(refdesByKey.size(), 40u);
    }
}

struct ExampleCase {
    const char* file;
    const char* documentName;
    const char* folder;  // the project folder, relative to examples/
    int components;
};

class Example : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(Example, IsServedWithPathsBesideIt) {
    const std::string examples = examplesDir();
    RunningSimulator simulator({examples + "/" + GetParam().file});
    const auto tool = design::dbus::connectToTool();
    const std::string project = examples + "/" + GetParam().folder + "/";
    EXPECT_EQ(tool->CurrentProject(), project);
    EXPECT_EQ(tool->ActiveViewDocumentName(), GetParam().documentName);
    EXPECT_EQ(tool->ActiveDocumentPath(), project + "sch/");
    EXPECT_TRUE(fs::is_directory(project + "sch"));
    EXPECT_EQ(openFlattenedDesign(*tool)->Count(), GetParam().components);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Example,
    ::testing::Values(ExampleCase{"amplifier.json", "amplifier.1", "amplifier", 18},
                      ExampleCase{"mcu-board.json", "mcu-board.1", "mcu-board", 29},
                      ExampleCase{"power-supply.json", "psu.1", "power-supply", 16}),
    [](const auto& info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });

}  // namespace
}  // namespace vexlo::test
