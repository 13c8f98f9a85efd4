// A template's shared string table, under a fixed worksheet whose cells refer to it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "workbookinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const sheet =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v>"
        "</c><c r=\"C1\" t=\"s\"><v>2</v></c></row><row r=\"2\"><c r=\"A2\" t=\"s\"><v>3</v>"
        "</c><c r=\"B2\" t=\"s\"><v>7</v></c><c r=\"C2\"><v>1.5</v></c></row></sheetData>"
        "</worksheet>";
    vexlo::fuzz::exerciseWorkbook(vexlo::fuzz::workbookWith(
        sheet, std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
