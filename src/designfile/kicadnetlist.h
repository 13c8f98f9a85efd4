#pragma once

#include <string>
#include <string_view>

#include "designfile/designfile.h"

namespace vexlo::designfile {

// Reads KiCad's XML netlist, versions "D" and "E", as KiCad's Generate BOM dialog and kicad-cli
// write it, into the design the schematic reader gives of the same schematic: a component per
// placed unit of each <comp>, in file order (KiCad's), and the fields of its library part as the
// symbol's attributes. bytes is the file's content; path names the file in messages and places
// the reports in its folder.
LoadedDesign readKicadNetlist(const std::string& path, std::string_view bytes,
                              const ReadOptions& options);

}  // namespace vexlo::designfile
