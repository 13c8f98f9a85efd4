// The saved-selection file as any editor may leave it, and a selection saved into it. Every
// procedure runs on the file's lines; a selection that Save accepts reads back exactly as it was
// saved (the empty key as no key), and deleting a name removes every section of it and nothing
// else.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/textfile.h"
#include "saved/selectionfile.h"

namespace {

using Lines = std::vector<std::string>;

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

std::string crlf(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexlo::saved;
    FuzzedDataProvider input(data, size);
    const std::string name = input.ConsumeRandomLengthString(40);
    Lines columns(input.ConsumeIntegralInRange<std::size_t>(0, 6));
    for (auto& column : columns) {
        column = input.ConsumeRandomLengthString(20);
    }
    const bool compress = input.ConsumeBool();
    Lines keys(input.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (auto& key : keys) {
        key = input.ConsumeRandomLengthString(20);
    }
    const Lines lines = vexlo::splitTextLines(input.ConsumeRemainingBytesAsString());

    const Lines names = selectionNames(lines);
    for (const auto& each : names) {
        loadSelection(lines, each);
        const Lines left = selectionNames(removeSelection(lines, each));
        Lines expected = names;
        expected.erase(std::remove(expected.begin(), expected.end(), each), expected.end());
        check(left == expected);
    }

    bool savable = true;
    try {
        checkSavable(name, columns, compress, keys);
    } catch (const vexlo::Error&) {
        savable = false;
    }
    if (!savable || sectionCount(lines, name) != 0) {
        return 0;
    }
    const Lines saved =
        vexlo::splitTextLines(crlf(appendSelection(lines, name, columns, compress, keys)));
    const LoadedSelection loaded = loadSelection(saved, name);
    check(loaded.columns == columns);
    check(loaded.compress == compress);
    // One key without a name is the empty key, which is written, and so read, as no key.
    check(!compress || loaded.keys == (keys == Lines{""} ? Lines{} : keys));
    Lines namesAfter = names;
    namesAfter.push_back(name);
    check(selectionNames(saved) == namesAfter);
    return 0;
}
