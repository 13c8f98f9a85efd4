#include "design/dbus/flatstream.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "faketool.h"

namespace vexlo::design::dbus {
namespace {

FlattenedDesign sampleDesign() {
    FlattenedDesign design;
    design.components.push_back(makeComponent("R1", {{"Value", "10k"}, {"Value", "second"}},
                                              {{"Footprint", "0603"}}, {{"Value", "9.76k"}}));
    design.components.push_back(makeComponent("", {{"Title", "Board, \"rev\" <B> & µΩ"}}));
    design.components.push_back(makeComponent("U1", {{"", ""}, {std::string("a\0b", 3), "\n"}}));
    design.components.push_back(makeComponent("C1", {}));
    return design;
}

void expectSameDesign(const FlattenedDesign& actual, const FlattenedDesign& expected) {
    ASSERT_EQ(actual.Count(), expected.Count());
    for (int i = 0; i < expected.Count(); ++i) {
        SCOPED_TRACE("component " + std::to_string(i));
        const Component& a = actual.components[i];
        const Component& e = expected.components[i];
        EXPECT_EQ(a.Refdes, e.Refdes);
        for (const auto& [got, want] :
             {std::pair{&a.OATList, &e.OATList}, std::pair{&a.Attributes, &e.Attributes},
              std::pair{&a.Symbol.Attributes, &e.Symbol.Attributes}}) {
            ASSERT_EQ(got->Count(), want->Count());
            for (int k = 0; k < want->Count(); ++k) {
                EXPECT_EQ(got->items()[k].Name, want->items()[k].Name);
                EXPECT_EQ(got->items()[k].Value, want->items()[k].Value);
            }
        }
    }
}

std::string le32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string le64(std::uint64_t value) {
    return le32(static_cast<std::uint32_t>(value)) + le32(static_cast<std::uint32_t>(value >> 32));
}

// A stream from raw parts, with the size field made to match.
std::string stream(std::uint32_t count, const std::string& body, std::uint32_t version = 1) {
    const std::uint64_t size = 20 + body.size();
    return "QFLT" + le32(version) + le64(size) + le32(count) + body;
}

std::string text(const std::string& value) {
    return le32(static_cast<std::uint32_t>(value.size())) + value;
}

TEST(FlatStream, RoundTripKeepsEveryByteAndOrder) {
    const FlattenedDesign design = sampleDesign();
    expectSameDesign(readFlatStream(writeFlatStream(design)), design);
}

TEST(FlatStream, LayoutIsTheDocumentedOne) {
    FlattenedDesign design;
    design.components.push_back(makeComponent("R1", {{"Value", "1k"}}, {}, {}));
    const std::string body = text("R1") + le32(0) + le32(1) + text("Value") + text("1k") + le32(0);
    EXPECT_EQ(writeFlatStream(design), stream(1, body));
    EXPECT_EQ(writeFlatStream(FlattenedDesign{}), stream(0, ""));
}

TEST(FlatStream, EveryTruncationIsRefused) {
    const std::string whole = writeFlatStream(sampleDesign());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        EXPECT_THROW(readFlatStream(std::string_view(whole).substr(0, length)), Error);
    }
}

TEST(FlatStream, EveryCorruptedByteIsRefusedOrReadSafely) {
    const std::string whole = writeFlatStream(sampleDesign());
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        try {
            readFlatStream(damaged);  // a changed text byte still reads: only no crash counts
        } catch (const Error& error) {
            EXPECT_EQ(error.number, errc::ToolCallFailed);
        }
    }
}

TEST(FlatStream, CorruptStreamsGiveAClearError) {
    const std::string oneComponent = text("R1") + le32(0) + le32(0) + le32(0);
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"", "it holds 0 bytes, less than its header"},
        {"QFLX" + le32(1) + le64(20) + le32(0), "it does not start with \"QFLT\""},
        {stream(0, "", 2), "its version is 2, not 1"},
        {"QFLT" + le32(1) + le64(21) + le32(0), "it holds 20 bytes instead of 21"},
        {stream(2, oneComponent),
         "component count of 2 does not fit in the 18 bytes left at byte 20"},
        {stream(0xFFFFFFFF, oneComponent),
         "component count of 4294967295 does not fit in the 18 bytes left at byte 20"},
        {stream(1, text("R1") + le32(0) + le32(5) + text("a") + text("b") + le32(0)),
         "attribute count of 5 does not fit in the 14 bytes left at byte 34"},
        {stream(1, le32(100) + "R1" + le32(0) + le32(0) + le32(0)),
         "it is cut short at byte 24 (reading the reference designator)"},
        {stream(1, text("R1") + le32(1) + text("Value") + le32(50) + "x" + le32(0) + le32(0)),
         "it is cut short at byte 43 (reading the value)"},
        {stream(1, oneComponent + "xx"), "2 bytes follow its last component"}};
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(message);
        try {
            readFlatStream(bytes);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.number, errc::ToolCallFailed);
            EXPECT_EQ(
                error.description,
                std::string("The schematic tool sent a corrupt flattened design: ") + message);
        }
    }
}

}  // namespace
}  // namespace vexlo::design::dbus
