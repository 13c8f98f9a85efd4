#pragma once

#include <string>
#include <vector>

#include "design/flatdesign.h"

namespace vexlo::design {

// The names of all attributes on the design's components, once each, in the order first met:
// components in enumeration order, the first of each reference designator only, empty
// designators skipped, a component's own attributes before its symbol's.
std::vector<std::string> harvestAttributeNames(const FlattenedDesign& design);

}  // namespace vexlo::design
