#include "designfile/designfile.h"

#include <algorithm>
#include <filesystem>

#include "common/error.h"
#include "designfile/jsondesign.h"
#include "designfile/kicadnetlist.h"
#include "designfile/kicadproject.h"
#include "designfile/kicadschematic.h"

namespace vexlo::designfile {

namespace {

enum class Format { Json, Sexpr, Xml, Unknown };

// Designs are told apart by their first character, past a byte-order mark and blanks.
Format formatOf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    switch (first == std::string_view::npos ? '\0' : bytes[first]) {
        case '{':
            return Format::Json;
        case '(':
            return Format::Sexpr;
        case '<':
            return Format::Xml;
        default:
            return Format::Unknown;
    }
}

const char* const formatsRead =
    "give a KiCad project (.kicad_pro), its root sheet (.kicad_sch), KiCad's XML netlist (.xml) "
    "or a JSON design";

void refuseVariant(const std::string& path, const ReadOptions& options) {
    if (!options.variant.empty()) {
        fail(path,
             "no variant named " + inQuotes(options.variant) + ": the design has no variants");
    }
}

// The first word of an S-expression file: "kicad_sch", "kicad_pcb", ...
std::string sexprHead(std::string_view bytes) {
    const std::size_t open = bytes.find('(');
    const std::size_t start = bytes.find_first_not_of(" \t\r\n", open + 1);
    const std::size_t end = bytes.find_first_of(" \t\r\n()\"", start);
    return start == std::string_view::npos ? std::string()
                                           : std::string(bytes.substr(start, end - start));
}

LoadedDesign readKicad(const KicadProject& project, const std::string& path,
                       const std::filesystem::path& file, const ReadOptions& options) {
    const std::string folder = file.parent_path().string() + "/";
    std::error_code missing;
    if (!std::filesystem::exists(project.sheets.front().file, missing) &&
        file.extension() == ".kicad_pro" && project.sheets.size() == 1) {
        // A project of a board alone: KiCad opens it with an empty schematic.
        LoadedDesign empty;
        empty.project = folder;
        empty.document = Document{file.stem().string(), folder};
        empty.summary = "KiCad project without a schematic";
        return empty;
    }
    return readKicadSchematic(project, folder, file.stem().string(), path, options);
}

LoadedDesign readDesign(const std::string& path, const std::filesystem::path& file,
                        const ReadOptions& options) {
    const std::string bytes = readFileBytes(path);
    Format format = formatOf(bytes);
    if (format == Format::Unknown) {
        // Nothing to tell by: the name says which reader explains what is wrong.
        const std::string extension = file.extension().string();
        format = extension == ".json" || extension == ".kicad_pro" ? Format::Json
                 : extension == ".xml"                             ? Format::Xml
                 : extension == ".kicad_sch"                       ? Format::Sexpr
                                                                   : Format::Unknown;
    }
    switch (format) {
        case Format::Json:
            if (file.extension() == ".kicad_pro" || isKicadProject(bytes)) {
                return readKicad(readKicadProject(file.string(), bytes), path, file, options);
            }
            refuseVariant(path, options);
            try {
                return parseJsonDesign(bytes, file.parent_path().string());
            } catch (const Error& error) {
                if (error.number != errc::BadDesignFile) {
                    throw;
                }
                // The place in the JSON, within the file.
                throw error.within(error.context.empty() ? path : path + ": " + error.context);
            }
        case Format::Sexpr:
            if (const std::string head = sexprHead(bytes);
                head != "kicad_sch" && file.extension() != ".kicad_sch") {
                fail(path, "not a design file this program reads: it starts with " +
                               inQuotes("(" + head) + "; " + formatsRead);
            }
            return readKicad(projectOfSheet(file.string()), path, file, options);
        case Format::Xml:
            return readKicadNetlist(path, bytes, options);
        case Format::Unknown:
            break;
    }
    fail(path, std::string("not a design file this program reads: ") + formatsRead);
}

}  // namespace

design::ToolDocument toolDocumentOf(const OpenDocument& document) {
    if (const auto* names = std::get_if<Document>(&document)) {
        return design::toolDocumentOf(names->designName, names->outputFolder);
    }
    return std::get<design::ToolDocument>(document);
}

LoadedDesign readDesignFile(const std::string& path, const ReadOptions& options) {
    const std::filesystem::path file = std::filesystem::absolute(path).lexically_normal();
    LoadedDesign loaded;
    try {
        loaded = readDesign(path, file, options);
    } catch (const Error& error) {
        if (error.number == errc::BadDesignFile) {
            throw;
        }
        // Past a limit every design keeps to, whatever its format (a value too long).
        fail(path, error.message());
    }
    if (std::find(loaded.files.begin(), loaded.files.end(), file.string()) == loaded.files.end()) {
        loaded.files.insert(loaded.files.begin(), file.string());
    }
    return loaded;
}

}  // namespace vexlo::designfile
