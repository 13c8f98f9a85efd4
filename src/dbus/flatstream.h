#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "design/flatdesign.h"

namespace vexlo::dbus {

// The most bytes a design's stream may hold, 2 GiB: room for the most components a design may
// have at over 400 bytes each, and a bound on what a reader maps.
constexpr std::uint64_t maxStreamBytes = std::uint64_t{1} << 31;

// The stream's header: the magic, the version, the size and the component count.
constexpr std::size_t flatStreamHeaderSize = 4 + 4 + 8 + 4;

// The flattened design as it crosses the bus: one block of bytes in a memory file, so that a
// design of any size costs one call instead of one per component or attribute.
//
// All integers are little-endian; a string is a u32 byte count followed by its bytes.
//   header:    "QFLT", u32 version (1), u64 size of the whole stream, u32 component count
//   component: refdes string, then the object attributes, the attributes and the symbol's
//              attributes, each as a u32 pair count followed by (name, value) string pairs
class FlatStreamWriter {
public:
    FlatStreamWriter();

    void addComponent(std::string_view refdes, const std::vector<design::Attribute>& oats,
                      const std::vector<design::Attribute>& attributes,
                      const std::vector<design::Attribute>& symbol);
    void addComponent(const design::Component& component);
    std::uint32_t componentCount() const noexcept { return count_; }
    // The finished stream; the writer starts anew afterwards.
    std::string finish();

private:
    void putU32(std::uint32_t value);
    void putString(std::string_view text);
    template <typename Pairs>
    void putPairs(std::size_t count, const Pairs& pairs);

    std::string bytes_;
    std::uint32_t count_ = 0;
};

std::string writeFlatStream(const design::FlattenedDesign& design);

// Parses a whole stream. A truncated or corrupt stream throws Error ToolCallFailed saying what
// is wrong and where; nothing is trusted before it is checked against the bytes that are there,
// and the whole stream is checked before any component is made.
//
// The design's texts view the stream: owner, when given, keeps the bytes alive (the tool's
// mapped memory file) and goes into the design's storage; without one the storage keeps a copy
// of the bytes, so that the caller's may go.
//
// A design of more than maxComponents components, or a stream of more than maxStreamBytes,
// throws Error DesignTooLarge before any component is read, and so does a value longer than
// design::maxValueBytes.
design::FlattenedDesign readFlatStream(std::string_view bytes,
                                       std::shared_ptr<const void> owner = {},
                                       std::uint32_t maxComponents = design::maxDesignComponents);

// Checks the header (the first bytes of a stream of streamSize bytes) against that size and the
// limits, so that a stream can be refused before it is mapped or read; returns its component
// count. Throws Error as readFlatStream does.
std::uint32_t checkStreamHeader(std::string_view header, std::uint64_t streamSize,
                                std::uint32_t maxComponents = design::maxDesignComponents);

}  // namespace vexlo::dbus
