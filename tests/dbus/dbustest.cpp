#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <set>

#include "common/error.h"
#include "dbus/flatstream.h"
#include "dbus/toolclient.h"
#include "faketool.h"
#include "testsupport.h"

namespace vexlo::dbus {
namespace {

using namespace design;  // the model the stream carries

using test::errorOf;
using test::le;

// A stream from raw parts, its size field made to match.
std::string stream(std::uint32_t count, const std::string& body, std::uint32_t version = 1) {
    return "QFLT" + le(version) + le(20 + body.size(), 8) + le(count) + body;
}

std::string text(const std::string& value) {
    return le(value.size()) + value;
}

TEST(FlatStream, LayoutAndRoundTrip) {
    FlattenedDesign one;
    one.components.push_back(makeComponent("R1", {{"Value", "1k"}}, {}, {{"Part", "x"}}));
    EXPECT_EQ(writeFlatStream(one), stream(1, text("R1") + le(1) + text("Part") + text("x") +
                                                  le(1) + text("Value") + text("1k") + le(0)));
    EXPECT_EQ(writeFlatStream(FlattenedDesign{}), stream(0, ""));
    FlattenedDesign sample;
    sample.components = {makeComponent("R1", {{"Value", "10k"}, {"Value", "second"}},
                                       {{"Footprint", "0603"}}, {{"Value", "9.76k"}}),
                         makeComponent("", {{"Title", "Board, \"rev\" <B> & µΩ"}}),
                         makeComponent("U1", {{"", ""}, {std::string("a\0b", 3), "\n"}}),
                         makeComponent("C1", {})};
    const std::string whole = writeFlatStream(sample);
    EXPECT_EQ(writeFlatStream(readFlatStream(whole)), whole);
    // Every truncation is refused; every damaged byte is refused or still reads safely.
    for (std::size_t at = 0; at < whole.size(); ++at) {
        EXPECT_THROW(readFlatStream(std::string_view(whole).substr(0, at)), Error) << at;
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        const std::string error = errorOf([&] { readFlatStream(damaged); });
        EXPECT_TRUE(error == "no error" || error.starts_with("Error 440: ")) << error;
    }
}

TEST(FlatStream, CorruptStreamsSayWhatIsWrong) {
    const std::string oneComponent = text("R1") + le(0) + le(0) + le(0);
    for (const auto& [bytes, message] : std::vector<std::pair<std::string, std::string>>{
             {"QFLX" + le(1) + le(20, 8) + le(0), "it does not start with \"QFLT\""},
             {stream(0, "", 2), "its version is 2, not 1"},
             {"QFLT" + le(1) + le(21, 8) + le(0), "it holds 20 bytes instead of 21"},
             {stream(2, oneComponent),
              "component count of 2 does not fit in the 18 bytes left at byte 20"},
             {stream(0xFFFFFFFF, oneComponent),
              "component count of 4294967295 does not fit in the 18 bytes left at byte 20"},
             {stream(1, text("R1") + le(0) + le(5) + text("a") + text("b") + le(0)),
              "attribute count of 5 does not fit in the 14 bytes left at byte 34"},
             {stream(1, le(100) + "R1" + le(0) + le(0) + le(0)),
              "it is cut short at byte 24 (reading the reference designator)"},
             {stream(1, text("R1") + le(1) + text("Value") + le(50) + "x" + le(0) + le(0)),
              "it is cut short at byte 43 (reading the value)"},
             {stream(1, oneComponent + "xx"), "2 bytes follow its last component"}}) {
        EXPECT_EQ(errorOf([&] { readFlatStream(bytes); }),
                  "Error 440: The schematic tool sent a corrupt flattened design: " + message);
    }
    // The component limit, at its bound: refused before the components are read.
    const std::string two = stream(2, oneComponent + oneComponent);
    EXPECT_EQ(readFlatStream(two, {}, 2).Count(), 2);
    EXPECT_THROW(readFlatStream(two, {}, 1), Error);
    // The size limit, at its bound, told by the header alone.
    const auto header = [](std::uint64_t size) { return "QFLT" + le(1) + le(size, 8) + le(3); };
    EXPECT_EQ(dbus::checkStreamHeader(header(dbus::maxStreamBytes), dbus::maxStreamBytes), 3u);
    EXPECT_EQ(errorOf([&] { dbus::checkStreamHeader(header(30), 29); }),
              "Error 440: The schematic tool sent a corrupt flattened design: it holds 29 bytes "
              "instead of 30");
    // The value limit, at its bound.
    const auto valued = [](std::size_t length) {
        return stream(
            1, text("R1") + le(0) + le(1) + text("V") + text(std::string(length, 'v')) + le(0));
    };
    EXPECT_EQ(readFlatStream(valued(maxValueBytes)).Count(), 1);
    EXPECT_EQ(errorOf([&] { readFlatStream(valued(maxValueBytes + 1)); }),
              "Error 1015: The design's attribute \"V\" of R1 holds 1048577 bytes, more than the "
              "1048576 this program reads");
}

// A design read from a stream keeps what its texts view: its own copy of the bytes, or the
// owner it was given, which goes when the last component does.
TEST(FlatStream, DesignsOutliveTheBytesTheyWereReadFrom) {
    FlattenedDesign sample;
    sample.add("R1", {}, std::vector<AttributeView>{{"Value", "10k"}, {"value", "x"}}, {});
    const std::string longValue(200000, 'v');
    sample.add("U1", std::vector<AttributeView>{{"Value", longValue}}, {},
               std::vector<AttributeView>{{"", ""}, {"Value", "9"}});
    sample.components.push_back(makeComponent("C1", {{"Value", "1u"}}));
    const std::string whole = writeFlatStream(sample);
    const auto designOf = [](std::vector<Component> components) {
        FlattenedDesign design;
        design.components = std::move(components);
        return design;
    };

    std::vector<Component> kept;
    std::weak_ptr<std::string> watched;
    {
        std::string bytes = whole;
        const FlattenedDesign copied = readFlatStream(bytes);
        auto owned = std::make_shared<std::string>(whole);
        watched = owned;
        const FlattenedDesign viewed = readFlatStream(*owned, owned);
        owned.reset();
        bytes.assign(bytes.size(), '\xA5');
        EXPECT_EQ(writeFlatStream(copied), whole);
        EXPECT_EQ(writeFlatStream(viewed), whole);
        kept = viewed.components;
    }
    ASSERT_FALSE(watched.expired());
    // The owner's bytes are viewed, not copied.
    const std::string_view owned = *watched.lock();
    const std::less<const char*> before;
    EXPECT_TRUE(!before(kept[1].Refdes.data(), owned.data()) &&
                before(kept[1].Refdes.data(), owned.data() + owned.size()));
    EXPECT_EQ(writeFlatStream(designOf(kept)), whole);
    EXPECT_EQ(attributeValue(kept[1], "Value"), longValue);
    kept.clear();
    EXPECT_TRUE(watched.expired());
}

// VEXLO_TOOL_TIMEOUT gives whole seconds up to an hour; anything else leaves 120 seconds.
TEST(ToolClient, CallTimeoutFromTheEnvironment) {
    for (const auto& [text, ms] :
         std::vector<std::pair<const char*, int>>{{nullptr, 120000},
                                                  {"1", 1000},
                                                  {"3600", 3600000},
                                                  {"3601", 120000},
                                                  {"0", 120000},
                                                  {"-5", 120000},
                                                  {"abc", 120000},
                                                  {"99999999999", 120000}}) {
        text != nullptr ? ::setenv("VEXLO_TOOL_TIMEOUT", text, 1)
                        : ::unsetenv("VEXLO_TOOL_TIMEOUT");
        EXPECT_EQ(dbus::callTimeoutMs(), ms) << (text != nullptr ? text : "unset");
    }
    ::unsetenv("VEXLO_TOOL_TIMEOUT");
}

}  // namespace
}  // namespace vexlo::dbus
