// KiCad's S-expressions as any text may hold them, walked by the reader: every list is either
// entered item by item or skipped, as the input's own bytes decide. Walking the top list through
// and skipping it whole must agree on where it ends, and on whether the text can be read at all;
// a string's escapes never make its text longer, and an atom or a string without escapes reads
// as written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "designfile/designerror.h"
#include "designfile/sexpr.h"

namespace {

using vexlo::designfile::SexprReader;

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// An atom reads as written, backslashes and all; a string's escapes are read.
void checkValue(const SexprReader& reader, const SexprReader::Item& item) {
    const bool backslash = item.raw.find('\\') != std::string_view::npos;
    check(item.escaped == (item.kind == SexprReader::Kind::String && backslash));
    const std::string value = reader.value(item);
    check(value.size() <= item.raw.size());
    check(item.escaped || value == item.raw);
}

// Whether to skip the list at this item, decided by the text: a mix of entered and skipped lists.
bool skipHere(std::string_view text, const SexprReader::Item& item) {
    const unsigned char next = item.offset + 1 < text.size() ? text[item.offset + 1] : 0;
    return ((next ^ item.offset) & 3) == 0;
}

// Where the top list ends, walked item by item; none when the text cannot be read.
std::optional<std::size_t> walkedEnd(std::string_view text) {
    SexprReader reader(text, "fuzz");
    try {
        reader.top();
        std::size_t depth = 1;
        SexprReader::Item item;
        while (depth > 0) {
            if (!reader.next(item)) {
                --depth;
            } else if (item.kind != SexprReader::Kind::List) {
                checkValue(reader, item);
            } else if (skipHere(text, item)) {
                reader.skip();
            } else {
                ++depth;
            }
        }
        return reader.offset();
    } catch (const vexlo::Error& error) {
        if (error.number != vexlo::errc::BadDesignFile) {
            throw;
        }
        return std::nullopt;
    }
}

std::optional<std::size_t> skippedEnd(std::string_view text) {
    SexprReader reader(text, "fuzz");
    try {
        reader.top();
        reader.skip();
        return reader.offset();
    } catch (const vexlo::Error& error) {
        if (error.number != vexlo::errc::BadDesignFile) {
            throw;
        }
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check(vexlo::designfile::unescapeSexpr(text).size() <= text.size());
    check(walkedEnd(text) == skippedEnd(text));
    return 0;
}
