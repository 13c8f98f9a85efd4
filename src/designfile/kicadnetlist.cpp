#include "designfile/kicadnetlist.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "designfile/kicadpart.h"

namespace vexlo::designfile {

namespace {

using design::Attribute;

// A part's fields that KiCad writes as elements of their own, in the order they are served.
struct OwnElementField {
    const char* element;
    std::string_view name;
};

constexpr std::array<OwnElementField, 4> ownElementFields{{{"value", "Value"},
                                                           {"footprint", "Footprint"},
                                                           {"datasheet", "Datasheet"},
                                                           {"description", "Description"}}};

// A library part as components name it: its library and its part name, viewing the document.
using LibraryKey = std::pair<std::string_view, std::string_view>;
using LibraryParts = std::map<LibraryKey, std::vector<Attribute>>;

void parse(pugi::xml_document& document, const std::string& path, std::string_view bytes) {
    // Whitespace alone is a value too ("<value> </value>"), and the bytes are taken as UTF-8
    // unconverted, so that pugixml's offsets are those of the file.
    const pugi::xml_parse_result result = document.load_buffer(
        bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
        pugi::encoding_utf8);
    if (!result) {
        failAt(path, bytes, static_cast<std::size_t>(result.offset), result.description());
    }
}

// The version the root names, once the root is a netlist's and the version one this program
// reads.
std::string readableVersion(pugi::xml_node root, const std::string& path) {
    const std::string rootName = root.name();
    if (rootName != "export") {
        fail(path, "not a KiCad XML netlist: the root element is <" + rootName + ">, not <export>");
    }
    const std::string version = root.attribute("version").value();
    if (version == "D" || version == "E") {
        return version;
    }
    if (version.size() == 1 && version[0] > 'E' && version[0] <= 'Z') {
        fail(path, "KiCad netlist version " + inQuotes(version) +
                       " is newer than this program reads (up to \"E\")");
    }
    fail(path, "KiCad netlist version " + inQuotes(version) +
                   " is not one this program reads (\"D\" or \"E\")");
}

// True when name is the field's name in any case. The field names are ASCII letters only, and
// for a letter, setting bit 0x20 gives its lower case; no other byte gives a letter's.
bool namesField(std::string_view name, std::string_view fieldName) noexcept {
    return std::equal(name.begin(), name.end(), fieldName.begin(), fieldName.end(),
                      [](char c, char letter) { return (c | 0x20) == (letter | 0x20); });
}

std::vector<Attribute> symbolAttributes(pugi::xml_node libpart) {
    std::vector<Attribute> attributes;
    for (const pugi::xml_node field : libpart.child("fields").children("field")) {
        attributes.push_back({field.attribute("name").value(), field.child_value()});
    }
    for (const auto& [element, name] :
         {std::pair{"description", "Description"}, std::pair{"docs", "Docs"}}) {
        const std::string text = libpart.child_value(element);
        if (!text.empty()) {
            attributes.push_back({name, text});
        }
    }
    return attributes;
}

// Read once, so that each component finds its part without a scan of them all. Of two parts
// of one name, the first is kept.
LibraryParts readLibraryParts(pugi::xml_node root) {
    LibraryParts parts;
    for (const pugi::xml_node libpart : root.child("libparts").children("libpart")) {
        const LibraryKey key{libpart.attribute("lib").value(), libpart.attribute("part").value()};
        parts.emplace(key, symbolAttributes(libpart));
    }
    return parts;
}

const std::vector<Attribute>* symbolOf(pugi::xml_node comp, const LibraryParts& parts) {
    const pugi::xml_node source = comp.child("libsource");
    if (!source) {
        return nullptr;
    }
    const auto found =
        parts.find(LibraryKey{source.attribute("lib").value(), source.attribute("part").value()});
    return found == parts.end() ? nullptr : &found->second;
}

// A <comp> without one cannot be told from the next, nor named in a report.
std::string_view refOf(pugi::xml_node comp, const std::string& path, std::string_view bytes) {
    const std::string_view ref = comp.attribute("ref").value();
    if (ref.empty()) {
        // pugixml places an element at its name, one past the "<" a reader looks for.
        failAt(path, bytes, static_cast<std::size_t>(comp.offset_debug()) - 1,
               "a component with no ref");
    }
    return ref;
}

// KiCad writes its flags as properties without a value: <property name="dnp"/>.
bool hasProperty(pugi::xml_node comp, std::string_view name) {
    for (const pugi::xml_node property : comp.children("property")) {
        if (name == property.attribute("name").value()) {
            return true;
        }
    }
    return false;
}

std::vector<Attribute> partFields(pugi::xml_node comp) {
    std::vector<Attribute> fields;
    for (const OwnElementField& own : ownElementFields) {
        const pugi::xml_node element = comp.child(own.element);
        if (element) {
            fields.push_back({std::string(own.name), element.child_value()});
        }
    }
    const auto ownEnd = static_cast<std::ptrdiff_t>(fields.size());
    // KiCad 8 on repeats those fields in <fields>, under a name whose case may differ; a part
    // keeps each once.
    for (const pugi::xml_node field : comp.child("fields").children("field")) {
        const std::string_view name = field.attribute("name").value();
        const bool repeated =
            std::any_of(fields.begin(), fields.begin() + ownEnd,
                        [name](const Attribute& own) { return namesField(name, own.Name); });
        if (!repeated) {
            fields.push_back({std::string(name), field.child_value()});
        }
    }
    return fields;
}

std::string sheetpathOf(pugi::xml_node comp) {
    const pugi::xml_attribute names = comp.child("sheetpath").attribute("names");
    return names ? names.value() : "/";
}

KicadPart partOf(pugi::xml_node comp, std::string_view ref, const LibraryParts& parts) {
    KicadPart part;
    part.refdes = ref;
    part.fields = partFields(comp);
    part.dnp = hasProperty(comp, "dnp");
    part.sheetpath = sheetpathOf(comp);
    part.symbol = symbolOf(comp, parts);
    return part;
}

// Adds the components a BOM lists.
void addComponents(design::FlattenedDesign& design, pugi::xml_node root, const std::string& path,
                   std::string_view bytes) {
    const LibraryParts parts = readLibraryParts(root);
    UnannotatedParts unannotated;
    for (const pugi::xml_node comp : root.child("components").children("comp")) {
        const std::string_view ref = refOf(comp, path, bytes);
        if (isPowerOrFlag(ref) || hasProperty(comp, "exclude_from_bom")) {
            continue;
        }
        if (isUnannotated(ref)) {
            unannotated.note(std::string(ref));
        } else {
            addKicadPart(design, partOf(comp, ref, parts));
        }
    }
    unannotated.refuse(path);
}

// The netlist's folder, where the reports go, ending with "/" (appending "" adds the separator
// that every folder but "/" lacks).
std::string folderOf(const std::string& path) {
    return (std::filesystem::absolute(path).lexically_normal().parent_path() / "").string();
}

}  // namespace

LoadedDesign readKicadNetlist(const std::string& path, std::string_view bytes,
                              const ReadOptions& options) {
    pugi::xml_document document;
    parse(document, path, bytes);
    const pugi::xml_node root = document.document_element();
    const std::string version = readableVersion(root, path);
    if (!options.variant.empty()) {
        fail(path,
             "no variant named " + inQuotes(options.variant) + ": the design has no variants");
    }

    LoadedDesign loaded;
    addComponents(loaded.flattened, root, path, bytes);
    loaded.project = folderOf(path);
    // Names that the tool's conventions turn back into the design "amp" and its folder: the
    // design name drops the document name's last two characters, the report folder the
    // document path's last four.
    const std::string designName = std::filesystem::path(path).stem().string();
    loaded.document = Document{designName + ".1", loaded.project + "././"};
    loaded.summary = "KiCad netlist " + version;
    return loaded;
}

}  // namespace vexlo::designfile
