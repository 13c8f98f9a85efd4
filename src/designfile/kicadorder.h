#pragma once

#include <string_view>

// The order in which KiCad lists a hierarchy's parts, in its netlist and so in its BOM: the
// sheet instances by page number, and each sheet's symbols by designator, both compared as
// KiCad compares texts that hold numbers.
namespace vexlo::designfile {

// Texts compared as KiCad compares them: runs of digits by their value, every other character
// by its byte, ASCII letters in upper case when ignoreCase; a text that runs out first comes
// first. Negative, 0 or positive.
int compareKicadText(std::string_view left, std::string_view right, bool ignoreCase) noexcept;

// True when a sheet instance of page number leftPage and sheet name leftName comes before the
// other: whole numbers by value and before any other page number, other page numbers as texts,
// equal page numbers by sheet name.
bool pageOrderLess(std::string_view leftPage, std::string_view leftName, std::string_view rightPage,
                   std::string_view rightName) noexcept;

}  // namespace vexlo::designfile
