#include "design/dbus/toolclient.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "common/error.h"
#include "design/dbus/flatstream.h"
#include "faketool.h"
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

// The components' exact content and order, in the stream form that keeps every byte.
std::string bytesOf(std::vector<Component> components) {
    return writeFlatStream(FlattenedDesign{std::move(components)});
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
     makeComponent("U1", {}, {{"Pins", "8"}}),
     makeComponent("U1", {{"Gate", "B"}}, {}, {{"Tolerance", "5%"}})}};

TEST_F(ToolClientTest, AnswersEveryMemberAsServed) {
    const auto simulator = serve(amplifier);
    const auto tool = connectToTool();
    EXPECT_EQ(tool->CurrentProject(), "/work/amp/");
    EXPECT_EQ(tool->ActiveViewDocumentName(), "amp.1");
    EXPECT_EQ(tool->ActiveDocumentPath(), "/work/amp/sch/");
    const auto design = openFlattenedDesign(*tool);
    EXPECT_EQ(bytesOf(design->Components("")), bytesOf(amplifier.components));
    // The lookup order holds on the client's objects.
    EXPECT_EQ(attributeValue(design->components[0], "Value"), "9.76k");
    EXPECT_EQ(attributeValue(design->components[0], "Footprint"), "0603");
    EXPECT_EQ(attributeValue(design->components[3], "Gate"), "B");
    // Each flatten call hands over a design of its own, for the design name only.
    EXPECT_EQ(tool->LoadGroupFlatten("amp")->Count(), 4);
    for (const std::string wrong : {"amp.1", "", "AMP", "am", "amp ", "amp."}) {
        SCOPED_TRACE(wrong);
        expectError([&] { tool->LoadGroupFlatten(wrong); }, errc::ToolCallFailed,
                    "LoadGroup: no design named \"" + wrong + "\"");
    }
}

TEST_F(ToolClientTest, PathsAreReturnedAsWrittenRelativeOnesPrefixed) {
    // As written, and what the client returns; "<dir>" stands for the design file's folder.
    const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
        {"proj/sch/", "<dir>/proj/sch/"},
        {"proj/sch", "<dir>/proj/sch"},
        {"../other/./sch/", "<dir>/../other/./sch/"},
        {"/abs/proj/", "/abs/proj/"},
        {"/abs/proj", "/abs/proj"},
        {"/abs//proj//", "/abs//proj//"},
        {"", "<dir>/"},
        {std::nullopt, "<dir>/"},  // the key left out
    };
    for (auto [written, expected] : cases) {
        SCOPED_TRACE(written.value_or("(left out)"));
        if (expected.rfind("<dir>", 0) == 0) {
            expected.replace(0, 5, dir_.path() + "/d");
        }
        const auto simulator = serve(
            DesignSpec{written, DesignDocument{"x.1", written.value_or("")}, {}}, "d/design.json");
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
        EXPECT_EQ(bytesOf({design->components[index]}), bytesOf({test::generatedComponent(index)}));
    }
}

// A bus service file that would start a fake tool leaves a mark when it is used: the client
// must never start the tool, not when looking for it, attaching or after it closed under it.
TEST_F(ToolClientTest, NeverStartsTheTool) {
    ASSERT_NE(test::PrivateBus::current(), nullptr);
    const std::string services = test::PrivateBus::current()->serviceDir();
    const std::string mark = dir_.file("started");
    test::writeFile(dir_.file("start-tool.sh"), "#!/bin/sh\necho started > '" + mark + "'\n");
    std::filesystem::permissions(dir_.file("start-tool.sh"), std::filesystem::perms::owner_all);
    test::writeFile(
        services + "/Quillion.Application.service",
        "[D-BUS Service]\nName=Quillion.Application\nExec=" + dir_.file("start-tool.sh") + "\n");

    EXPECT_FALSE(toolIsRunning());
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
