// A template's first worksheet, with a fixed shared string table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "workbookinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const sharedStrings =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"3\" "
        "uniqueCount=\"3\"><si><t>a</t></si><si><t xml:space=\"preserve\"> b </t></si><si><r>"
        "<t>c</t></r><r><t>d_x000D_</t></r></si></sst>";
    vexlo::fuzz::exerciseWorkbook(vexlo::fuzz::workbookWith(
        std::string_view(reinterpret_cast<const char*>(data), size), sharedStrings));
    return 0;
}
