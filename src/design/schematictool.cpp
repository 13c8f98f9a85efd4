#include "design/schematictool.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::design {

std::string designName(SchematicTool& tool) {
    const std::string documentName = tool.ActiveViewDocumentName();
    auto name = withoutLastCharacters(documentName, 2);
    if (!name) {
        throw Error(errc::BadDesignName,
                    "The document name \"" + documentName +
                        "\" is too short to give a design name (it needs at least two characters)");
    }
    return *name;
}

}  // namespace vexlo::design
