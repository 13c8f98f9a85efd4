#pragma once

#include <string>
#include <vector>

#include "designfile/designfile.h"

namespace vexlo::designfile {

// The newest schematic file version read: what KiCad 10.0 writes.
constexpr long newestSchematicVersion = 20260306;

// The most sheet instances a hierarchy may hold: hundreds times what real designs have, and few
// enough that a sheet used twice on each of many levels (millions of instances from a few
// kilobytes of files) is refused within a second instead of walked for minutes. The placed
// symbols (units, power symbols and parts left out counted) may number
// design::maxDesignComponents at most.
constexpr std::size_t maxSheetInstances = 100'000;

// The deepest a hierarchy may nest: a sheet 100 levels below the root is no design, and each
// level costs the walk its path and its place on the stack.
constexpr std::size_t maxSheetDepth = 100;

// A top-level sheet of a project: its file, and the uuid its instance paths start with.
struct TopLevelSheet {
    std::string file;  // absolute
    std::string uuid;  // "" for the root file's own
    std::string name;
};

// What a KiCad project file says about its schematic.
struct KicadProject {
    std::vector<TopLevelSheet> sheets;
    std::vector<std::string> variants;
};

// Flattens the hierarchy below the top-level sheets as KiCad's netlist and BOM list it: one
// component per placed unit per sheet instance, the sheet instances by page number and each
// one's symbols by designator. folder is the project folder the reports go to; designName names
// them; path is the design file as given, which messages about the whole design name.
LoadedDesign readKicadSchematic(const KicadProject& project, const std::string& folder,
                                const std::string& designName, const std::string& path,
                                const ReadOptions& options);

}  // namespace vexlo::designfile
