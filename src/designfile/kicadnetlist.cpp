#include "designfile/kicadnetlist.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "designfile/kicadpart.h"

namespace vexlo::designfile {

namespace {

using design::Attribute;

// A part's fields that KiCad writes as elements of their own, in the order they are served. The
// mandatory ones are fields of every placed symbol: a netlist leaves them out when they are empty.
struct OwnElementField {
    const char* element;
    std::string_view name;
    bool mandatory;
};

constexpr std::array<OwnElementField, 4> ownElementFields{{{"value", "Value", true},
                                                           {"footprint", "Footprint", true},
                                                           {"datasheet", "Datasheet", true},
                                                           {"description", "Description", false}}};

// What the KiCad that wrote the netlist means by its texts, from its <tool> "Eeschema 8.0.2".
struct Writer {
    bool tildeIsEmpty = true;           // "~" stood for an empty text before KiCad 10
    bool descriptionMandatory = false;  // every placed symbol has a Description from KiCad 8

    // A text as the schematic reader reads the same field: "~" empty where it meant that.
    std::string text(std::string_view raw) const {
        return tildeIsEmpty && raw == "~" ? std::string() : std::string(raw);
    }
};

Writer writerOf(pugi::xml_node root) {
    const std::string_view tool = root.child("design").child_value("tool");
    const std::size_t digits = tool.find_first_of("0123456789");
    Writer writer;
    if (digits == std::string_view::npos) {
        return writer;  // a netlist of unknown make: read as the KiCad of the most netlists
    }
    const int major = std::atoi(tool.data() + digits);
    const std::size_t dot = tool.find('.', digits);
    const int minor = dot == std::string_view::npos ? 0 : std::atoi(tool.data() + dot + 1);
    // 9.99 is what KiCad 10 called itself before its release, when "~" became a text.
    writer.tildeIsEmpty = major < 9 || (major == 9 && minor < 99);
    writer.descriptionMandatory = major >= 8;
    return writer;
}

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

std::vector<Attribute> symbolAttributes(pugi::xml_node libpart, const Writer& writer) {
    std::vector<Attribute> attributes;
    for (const pugi::xml_node field : libpart.child("fields").children("field")) {
        attributes.push_back({field.attribute("name").value(), writer.text(field.child_value())});
    }
    for (const auto& [element, name] :
         {std::pair{"description", "Description"}, std::pair{"docs", "Docs"}}) {
        std::string text = writer.text(libpart.child_value(element));
        if (!text.empty()) {
            attributes.push_back({name, std::move(text)});
        }
    }
    return attributes;
}

// Read once, so that each component finds its part without a scan of them all. Of two parts
// of one name, the first is kept.
LibraryParts readLibraryParts(pugi::xml_node root, const Writer& writer) {
    LibraryParts parts;
    for (const pugi::xml_node libpart : root.child("libparts").children("libpart")) {
        const LibraryKey key{libpart.attribute("lib").value(), libpart.attribute("part").value()};
        parts.emplace(key, symbolAttributes(libpart, writer));
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

// KiCad writes its marks as properties without a value: <property name="dnp"/>. A user field
// is a property too, always with a value, and is listed in <fields> as well: a property of the
// mark's name with a value is the mark only when no field of that name explains it.
bool hasMark(pugi::xml_node comp, std::string_view name) {
    for (const pugi::xml_node property : comp.children("property")) {
        if (name != property.attribute("name").value()) {
            continue;
        }
        if (!property.attribute("value") || !comp.child("fields").find_child_by_attribute(
                                                "field", "name", std::string(name).c_str())) {
            return true;
        }
    }
    return false;
}

// The text of one of those fields: KiCad writes "~" for an empty value, whichever version it is.
std::string ownText(const OwnElementField& own, std::string_view raw, const Writer& writer) {
    return own.name == "Value" && raw == "~" ? std::string() : writer.text(raw);
}

const OwnElementField* ownFieldNamed(std::string_view name) {
    const auto found =
        std::find_if(ownElementFields.begin(), ownElementFields.end(),
                     [name](const OwnElementField& own) { return namesField(name, own.name); });
    return found == ownElementFields.end() ? nullptr : &*found;
}

// The part's fields as the schematic reader gives the same placed symbol's: its designator as
// "Reference", the mandatory fields (empty where the netlist leaves them out), then the others.
// KiCad 8 on repeats the fields of their own elements in <fields>, under a name whose case may
// differ: a part keeps each once, the element's text first, under the name KiCad gives it.
std::vector<Attribute> partFields(pugi::xml_node comp, std::string_view ref, const Writer& writer) {
    std::vector<Attribute> fields{{"Reference", std::string(ref)}};
    std::vector<bool> read{true};
    for (const OwnElementField& own : ownElementFields) {
        const pugi::xml_node element = comp.child(own.element);
        if (element || own.mandatory || writer.descriptionMandatory) {
            fields.push_back({std::string(own.name), ownText(own, element.child_value(), writer)});
            read.push_back(static_cast<bool>(element));
        }
    }
    for (const pugi::xml_node field : comp.child("fields").children("field")) {
        const std::string_view name = field.attribute("name").value();
        if (namesField(name, "Reference")) {
            continue;  // the designator is the part's Reference, whatever a field says
        }
        const OwnElementField* own = ownFieldNamed(name);
        if (own == nullptr) {
            fields.push_back({std::string(name), writer.text(field.child_value())});
            read.push_back(true);
            continue;
        }
        const auto at = std::find_if(fields.begin(), fields.end(), [own](const Attribute& kept) {
            return kept.Name == own->name;
        });
        const auto index = static_cast<std::size_t>(at - fields.begin());
        if (at == fields.end()) {
            fields.push_back({std::string(own->name), ownText(*own, field.child_value(), writer)});
            read.push_back(true);
        } else if (!read[index]) {
            at->Value = ownText(*own, field.child_value(), writer);
            read[index] = true;
        }
    }
    return fields;
}

// How many units of the part are placed: KiCad lists their uuids in <tstamps>, one or more
// separated by blanks. The part is served once a unit, as the schematic reader serves it.
std::size_t unitCount(pugi::xml_node comp) {
    const std::string_view uuids = comp.child_value("tstamps");
    std::size_t count = 0;
    for (std::size_t at = uuids.find_first_not_of(" \t\r\n"); at != std::string_view::npos;
         at = uuids.find_first_not_of(" \t\r\n", uuids.find_first_of(" \t\r\n", at))) {
        ++count;
    }
    return std::max<std::size_t>(count, 1);
}

std::string sheetpathOf(pugi::xml_node comp) {
    const pugi::xml_attribute names = comp.child("sheetpath").attribute("names");
    return names ? names.value() : "/";
}

KicadPart partOf(pugi::xml_node comp, std::string_view ref, const LibraryParts& parts,
                 const Writer& writer) {
    KicadPart part;
    part.refdes = ref;
    part.fields = partFields(comp, ref, writer);
    part.dnp = hasMark(comp, "dnp");
    part.sheetpath = sheetpathOf(comp);
    part.symbol = symbolOf(comp, parts);
    return part;
}

// Adds the components a BOM lists.
void addComponents(design::FlattenedDesign& design, pugi::xml_node root, const std::string& path,
                   std::string_view bytes) {
    const Writer writer = writerOf(root);
    const LibraryParts parts = readLibraryParts(root, writer);
    UnannotatedParts unannotated;
    for (const pugi::xml_node comp : root.child("components").children("comp")) {
        const std::string_view ref = refOf(comp, path, bytes);
        if (isPowerOrFlag(ref) || hasMark(comp, "exclude_from_bom")) {
            continue;
        }
        if (isUnannotated(ref)) {
            unannotated.note(std::string(ref));
            continue;
        }
        const KicadPart part = partOf(comp, ref, parts, writer);
        for (std::size_t unit = unitCount(comp); unit > 0; --unit) {
            addKicadPart(design, part);
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
    // The design is named after the netlist, its reports beside it.
    loaded.document = Document{std::filesystem::path(path).stem().string(), loaded.project};
    loaded.summary = "KiCad netlist " + version;
    return loaded;
}

}  // namespace vexlo::designfile
