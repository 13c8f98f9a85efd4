#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "common/error.h"
#include "design/dbus/toolclient.h"
#include "faketool.h"
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
    writeDesignJson(dir.file("empty.json"), {"/p/", std::nullopt, {}});
    {
        RunningSimulator simulator({dir.file("empty.json")});
        EXPECT_EQ(simulator.readyLine(),
                  "schemora-sim: ready: Quillion.Application serving no document (project /p/, 0 "
                  "components)");
    }
    RunningSimulator simulator({dir.file("amp.json")});
    EXPECT_EQ(simulator.readyLine(),
              "schemora-sim: ready: Quillion.Application serving \"amp.1\" "
              "(project " +
                  dir.path() + "/amp/, 1 components)");
    EXPECT_TRUE(design::dbus::toolIsRunning());
    EXPECT_EQ(simulator.stop(), 0);
    EXPECT_EQ(simulator.errorOutput(), "");
    // A design file creates nothing.
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"amp.json", "empty.json"}));
}

TEST(Simulator, StopSignalsEndItCleanlyAndReleaseTheName) {
    TempDir root;
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        RunningSimulator simulator({"--root", root.path()});
        ASSERT_TRUE(design::dbus::toolIsRunning());
        EXPECT_EQ(simulator.stop(signal), 0);
        EXPECT_FALSE(design::dbus::toolIsRunning());
        EXPECT_EQ(simulator.errorOutput(), "");
    }
    // The name is free again: a new simulator gets it.
    RunningSimulator next({"--root", root.path()});
    EXPECT_TRUE(design::dbus::toolIsRunning());
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

// Bad input is refused with exit status 2 and the message, and the name is never taken.
void expectRefused(const std::vector<std::string>& arguments, const std::string& message) {
    const SimulatorRun run = runSimulator(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "schemora-sim: " + message + "\n");
    EXPECT_FALSE(design::dbus::toolIsRunning());
}

TEST(Simulator, RefusesBadCommandLines) {
    TempDir dir;
    const std::string file = dir.file("design.json");
    expectRefused({file}, "cannot read design file \"" + file + "\": No such file or directory");
    expectRefused({"/"}, "cannot read design file \"/\": file to open is a directory");
    expectRefused({"--verbose"}, "unknown option \"--verbose\" (see --help)");
    expectRefused({"--root", "/proc/vexlo"},
                  "cannot create the sample board's folder \"/proc/vexlo/sample-board/\"");
    writeFile(file, "{}");
    expectRefused({file, file}, "more than one design file given (see --help)");
    expectRefused({"--root", "/tmp", file}, "--root applies to the built-in sample board only");
}

TEST(Simulator, RefusesBadDesignFiles) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"", "invalid JSON near line 1, column 1: illegal value"},
        {"{\n  \"project\": \"p/\",\n  \"components\": [\n}",
         "invalid JSON near line 4, column 2: object is missing after a comma"},
        {"{\"project\": \"p/\",}",
         "invalid JSON near line 1, column 19: object is missing after a comma"},
        {"[]", "expected a JSON object at the top"},
        {"{\"component\": []}", "unknown key \"component\""},
        {"{\"project\": 7}", "project: expected a string"},
        {"{\"document\": \"a.1\"}", "document: expected an object"},
        {"{\"document\": {\"Name\": \"a.1\"}}", "document: unknown key \"Name\""},
        {"{\"document\": {\"name\": null}}", "document.name: expected a string"},
        {"{\"components\": {}}", "components: expected a list of components"},
        {"{\"components\": [{}, \"R1\"]}", "components[1]: expected a component object"},
        {"{\"components\": [{\"refdes\": 1}]}", "components[0].refdes: expected a string"},
        {"{\"components\": [{\"refdes\": \"R1\", \"attribute\": []}]}",
         "components[0]: unknown key \"attribute\""},
        {"{\"components\": [{\"oats\": {\"a\": \"b\"}}]}",
         "components[0].oats: expected a list of [name, value] pairs"},
        {"{\"components\": [{\"attributes\": [[\"a\", \"b\"], [\"a\", \"b\", \"c\"]]}]}",
         "components[0].attributes[1]: expected a [name, value] pair of strings"},
        {"{\"components\": [{\"symbol\": [[\"Pins\", 8]]}]}",
         "components[0].symbol[0]: expected a [name, value] pair of strings"}};
    TempDir dir;
    const std::string file = dir.file("design.json");
    for (const auto& [content, message] : cases) {
        SCOPED_TRACE(content);
        writeFile(file, content);
        expectRefused({file}, file + ": " + message);
    }
}

// The sample board, as the client sees it, shows every feature the program handles.
class SampleBoard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = std::make_unique<TempDir>();
        simulator_ =
            std::make_unique<RunningSimulator>(std::vector<std::string>{"--root", root_->path()});
        tool_ = design::dbus::connectToTool();
        design_ = design::openFlattenedDesign(*tool_);
    }
    static void TearDownTestSuite() {
        design_.reset();
        tool_.reset();
        simulator_.reset();
        root_.reset();
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

    static bool anyComponent(const std::function<bool(const Component&)>& test) {
        return std::any_of(design_->components.begin(), design_->components.end(), test);
    }

    static inline std::unique_ptr<TempDir> root_;
    static inline std::unique_ptr<RunningSimulator> simulator_;
    static inline std::unique_ptr<design::SchematicTool> tool_;
    static inline std::shared_ptr<const FlattenedDesign> design_;
};

TEST_F(SampleBoard, LivesInAProjectFolderUnderTheRoot) {
    EXPECT_EQ(tool_->CurrentProject(), root_->path() + "/sample-board/");
    EXPECT_EQ(tool_->ActiveViewDocumentName(), "sampleboard.1");
    EXPECT_EQ(tool_->ActiveDocumentPath(), root_->path() + "/sample-board/sch/");
    EXPECT_TRUE(fs::is_directory(root_->path() + "/sample-board/sch"));
    EXPECT_EQ(simulator_->readyLine(),
              "schemora-sim: ready: Quillion.Application serving \"sampleboard.1\" (project " +
                  root_->path() + "/sample-board/, 61 components)");
}

// A second simulator refuses to start while the name is owned, yet makes its folders first; the
// root is the current folder when none is given.
TEST_F(SampleBoard, SecondSimulatorRefusesAndRootDefaultsToTheCurrentFolder) {
    TempDir cwd;
    const fs::path before = fs::current_path();
    fs::current_path(cwd.path());
    const SimulatorRun run = runSimulator({});
    fs::current_path(before);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, ownedMessage);
    EXPECT_TRUE(fs::is_directory(cwd.path() + "/sample-board/sch"));
    // The first one still serves.
    EXPECT_EQ(tool_->CurrentProject(), root_->path() + "/sample-board/");
}

TEST_F(SampleBoard, HasEverySortOfComponent) {
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
    // A later gate has a name the first gate lacks, which the harvest must not list.
    EXPECT_TRUE(std::any_of(gates.begin() + 1, gates.end(), [&](const Component* gate) {
        return std::any_of(gate->Attributes.begin(), gate->Attributes.end(), [&](const auto& a) {
            return gates[0]->Attributes.byName(a.Name).Count() == 0;
        });
    }));
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
            attributeNames.emplace(a.Name);
        }
        for (const auto& a : component.Symbol.Attributes) {
            symbolNames.emplace(a.Name);
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
    EXPECT_TRUE(anyComponent([](const Component& c) {
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
        EXPECT_TRUE(anyComponent([&](const Component& c) {
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
                refdesByKey[std::string(attributeValue(component, key))].emplace(component.Refdes);
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

TEST(Simulator, ServesTheExamplesWithPathsBesideThem) {
    const std::string examples = examplesDir();
    for (const auto& [file, documentName, folder, components] :
         {std::tuple{"amplifier.json", "amplifier.1", "amplifier", 18},
          std::tuple{"mcu-board.json", "mcu-board.1", "mcu-board", 29},
          std::tuple{"power-supply.json", "psu.1", "power-supply", 16}}) {
        SCOPED_TRACE(file);
        RunningSimulator simulator({examples + "/" + file});
        const auto tool = design::dbus::connectToTool();
        const std::string project = examples + "/" + folder + "/";
        EXPECT_EQ(tool->CurrentProject(), project);
        EXPECT_EQ(tool->ActiveViewDocumentName(), documentName);
        EXPECT_EQ(tool->ActiveDocumentPath(), project + "sch/");
        EXPECT_TRUE(fs::is_directory(project + "sch"));
        EXPECT_EQ(openFlattenedDesign(*tool)->Count(), components);
    }
}

// The design name is the document name less its last two characters, counted as Vexlo counts
// them: a name ending in multi-byte characters loads, and the name cut by bytes does not.
TEST(Simulator, DesignNameDropsTwoCharactersNotBytes) {
    TempDir dir;
    for (const std::string documentName :
         {"amp.1", "\u03a9\u00b5\U0001F600.\u03a9\U0001F600", "x.\u00b5", "\U0001F600\U0001F600"}) {
        SCOPED_TRACE(documentName);
        writeDesignJson(
            dir.file("design.json"),
            {"p/", DesignDocument{documentName, "p/sch/"}, {design::makeComponent("R1", {})}});
        RunningSimulator simulator({dir.file("design.json")});
        const auto tool = design::dbus::connectToTool();
        EXPECT_EQ(openFlattenedDesign(*tool)->Count(), 1);
        if ((documentName.back() & 0x80) != 0) {
            EXPECT_THROW(tool->LoadGroupFlatten(documentName.substr(0, documentName.size() - 2)),
                         Error);
        }
    }
}

}  // namespace
}  // namespace vexlo::test
