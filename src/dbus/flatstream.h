#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "design/schematictool.h"

namespace vexlo::design::dbus {

// The most components a design may have: about 80 bytes of memory each at the least, so that
// a stream of empty components cannot ask for gigabytes.
constexpr std::uint32_t maxDesignComponents = 5'000'000;

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

    void addComponent(std::string_view refdes, const std::vector<Attribute>& oats,
                      const std::vector<Attribute>& attributes,
                      const std::vector<Attribute>& symbol);
    void addComponent(const Component& component);
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

std::string writeFlatStream(const FlattenedDesign& design);

// Parses a whole stream. A truncated or corrupt stream throws Error ToolCallFailed saying what
// is wrong and where; nothing is trusted before it is checked against the bytes that are there,
// and the whole stream is checked before any component is made.
//
// The design's texts view the stream: owner, when given, keeps the bytes alive (the tool's
// mapped memory file) and goes into the design's storage; without one the storage keeps a copy
// of the bytes, so that the caller's may go.
//
// A design of more than maxComponents components throws Error DesignTooLarge before any is
// read: each costs its memory whatever its size in the stream.
FlattenedDesign readFlatStream(std::string_view bytes, std::shared_ptr<const void> owner = {},
                               std::uint32_t maxComponents = maxDesignComponents);

}  // namespace vexlo::design::dbus
