#include "workbook/workbook.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <set>

#include "common/error.h"
#include "workbook/package.h"
#include "workbook/sheetxml.h"
#include "workbook/styles.h"
#include "workbook/xml.h"

namespace vexlo::workbook {

namespace {

constexpr const char* contentTypesPart = "[Content_Types].xml";
constexpr const char* stylesContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
constexpr const char* relationshipNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* xmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

struct Relationship {
    std::string id;
    std::string type;
    std::string target;
    bool external = false;
};

// Relationship types differ between the transitional and the strict namespace; their last
// segment does not.
bool hasType(const Relationship& relationship, std::string_view kind) {
    const auto slash = relationship.type.rfind('/');
    return std::string_view(relationship.type).substr(slash == std::string::npos ? 0 : slash + 1) ==
           kind;
}

std::string folderOf(const std::string& part) {
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? "" : part.substr(0, slash + 1);
}

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"
std::string relationshipsPartOf(const std::string& part) {
    const std::string folder = folderOf(part);
    return folder + "_rels/" + part.substr(folder.size()) + ".rels";
}

std::string percentDecoded(const std::string& text) {
    std::string decoded;
    for (std::size_t at = 0; at < text.size(); ++at) {
        int value = 0;
        if (text[at] == '%' && at + 2 < text.size() &&
            std::from_chars(text.data() + at + 1, text.data() + at + 3, value, 16).ptr ==
                text.data() + at + 3) {
            decoded += static_cast<char>(value);
            at += 2;
        } else {
            decoded += text[at];
        }
    }
    return decoded;
}

// The part a relationship target names, relative to the part that holds the relationship.
std::string resolveTarget(const std::string& sourcePart, const std::string& target) {
    const std::string path = percentDecoded(target);
    std::string joined =
        !path.empty() && path[0] == '/' ? path.substr(1) : folderOf(sourcePart) + path;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= joined.size()) {
        auto end = joined.find('/', start);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string segment = joined.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const auto& segment : segments) {
        resolved += (resolved.empty() ? "" : "/") + segment;
    }
    return resolved;
}

std::string damagedPart(const WorkbookPackage& package, const std::string& part) {
    return package.describe() + " has a damaged part \"" + part + "\"";
}

void parseOrThrow(pugi::xml_document& document, const std::string& text,
                  const std::string& damaged) {
    const std::string failure =
        xml::parse(document, text, pugi::parse_default | pugi::parse_declaration);
    if (!failure.empty()) {
        throw Error(errc::BadTemplate, damaged + ": " + failure);
    }
}

std::vector<Relationship> readRelationships(const WorkbookPackage& package,
                                            const std::string& part) {
    std::vector<Relationship> relationships;
    const auto name = package.find(part);
    if (!name) {
        return relationships;
    }
    pugi::xml_document document;
    parseOrThrow(document, package.read(*name), damagedPart(package, *name));
    for (pugi::xml_node node : document.document_element().children()) {
        if (node.type() == pugi::node_element && xml::localName(node.name()) == "Relationship") {
            relationships.push_back(
                {node.attribute("Id").value(), node.attribute("Type").value(),
                 node.attribute("Target").value(),
                 std::string_view(node.attribute("TargetMode").value()) == "External"});
        }
    }
    return relationships;
}

const Relationship* findType(const std::vector<Relationship>& relationships,
                             std::string_view kind) {
    for (const auto& relationship : relationships) {
        if (!relationship.external && hasType(relationship, kind)) {
            return &relationship;
        }
    }
    return nullptr;
}

struct SharedStrings {
    std::vector<std::string> texts;
    std::optional<std::uint64_t> count;  // the table's count attribute, when it has one
};

SharedStrings readSharedStrings(const std::string& text, const std::string& damaged) {
    pugi::xml_document document;
    const std::string failure =
        xml::parse(document, text, pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (!failure.empty()) {
        throw Error(errc::BadTemplate, damaged + ": " + failure);
    }
    SharedStrings table;
    const pugi::xml_node root = document.document_element();
    if (const pugi::xml_attribute count = root.attribute("count")) {
        table.count = count.as_ullong();
    }
    for (pugi::xml_node item : root.children()) {
        if (item.type() != pugi::node_element || xml::localName(item.name()) != "si") {
            continue;
        }
        std::string itemText;
        for (pugi::xml_node part : item.children()) {
            const std::string_view name = xml::localName(part.name());
            if (name == "t") {
                itemText += part.text().get();
            } else if (name == "r") {
                itemText += xml::child(part, "t").text().get();
            }
        }
        table.texts.push_back(xml::decodeEscapes(itemText));
    }
    return table;
}

// Counts the cells of a worksheet part that refer to the shared string table.
std::uint64_t sharedStringReferences(const std::string& text) {
    pugi::xml_document document;
    if (!xml::parse(document, text, pugi::parse_default).empty()) {
        return 0;
    }
    std::uint64_t count = 0;
    const pugi::xml_node sheetData = xml::child(document.document_element(), "sheetData");
    for (pugi::xml_node row : sheetData.children()) {
        for (pugi::xml_node cell : row.children()) {
            count += std::string_view(cell.attribute("t").value()) == "s" ? 1 : 0;
        }
    }
    return count;
}

// The table with its count attribute set to count; every other byte stays.
std::string withSharedStringCount(const std::string& table, std::uint64_t count) {
    // The root's start tag is the first tag that is no declaration, comment or doctype.
    std::size_t rootStart = table.find('<');
    while (rootStart != std::string::npos && rootStart + 1 < table.size() &&
           (table[rootStart + 1] == '?' || table[rootStart + 1] == '!')) {
        rootStart = table.find('<', rootStart + 1);
    }
    const std::size_t rootEnd = table.find('>', rootStart);
    if (rootEnd == std::string::npos) {
        return table;
    }
    for (auto at = table.find("count", rootStart); at < rootEnd; at = table.find("count", at + 1)) {
        if (!std::isspace(static_cast<unsigned char>(table[at - 1]))) {
            continue;  // uniqueCount
        }
        const auto quote = table.find_first_of("\"'", at);
        const auto close =
            quote < rootEnd ? table.find(table[quote], quote + 1) : std::string::npos;
        if (close == std::string::npos || close > rootEnd) {
            return table;
        }
        return table.substr(0, quote + 1) + std::to_string(count) + table.substr(close);
    }
    return table;
}

std::vector<std::pair<std::string, std::string>> blankParts() {
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string relationships =
        "http://schemas.openxmlformats.org/package/2006/relationships";
    const std::string documentTypes =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    return {
        {contentTypesPart,
         std::string(xmlDeclaration) +
             "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" "
             "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
             "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
             "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
             "<Override PartName=\"/xl/styles.xml\" ContentType=\"" +
             stylesContentType + "\"/></Types>"},
        {"_rels/.rels", std::string(xmlDeclaration) + "<Relationships xmlns=\"" + relationships +
                            "\"><Relationship Id=\"rId1\" Type=\"" + documentTypes +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         std::string(xmlDeclaration) + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" +
             documentTypes +
             "\"><bookViews><workbookView/></bookViews><sheets><sheet name=\"Sheet1\" "
             "sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         std::string(xmlDeclaration) + "<Relationships xmlns=\"" + relationships +
             "\"><Relationship Id=\"rId1\" Type=\"" + documentTypes +
             "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
             documentTypes + "/styles\" Target=\"styles.xml\"/></Relationships>"},
        {"xl/styles.xml", WorkbookStyles::blankXml()},
        {"xl/worksheets/sheet1.xml",
         std::string(xmlDeclaration) + "<worksheet xmlns=\"" + main + "\" xmlns:r=\"" +
             documentTypes +
             "\"><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
             "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData/><pageMargins left=\"0.7\" "
             "right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
             "</worksheet>"},
    };
}

// Where a package keeps the parts the engine reads and changes.
struct PartNames {
    std::string workbook;
    std::string workbookRelationships;
    std::string sheet;
    std::string styles;  // empty when the template has none
    std::string sharedStrings;
    std::string calcChain;
    std::vector<std::string> otherSheets;
};

// The worksheet a <sheet> element of the workbook names, or null.
const Relationship* sheetRelationship(const std::vector<Relationship>& relationships,
                                      pugi::xml_node sheet) {
    const std::string id = xml::attribute(sheet, "id").value();
    for (const auto& relationship : relationships) {
        if (relationship.id == id && !relationship.external) {
            return &relationship;
        }
    }
    return nullptr;
}

PartNames locateParts(const WorkbookPackage& package) {
    PartNames names;
    const auto packageRelationships = readRelationships(package, "_rels/.rels");
    const Relationship* office = findType(packageRelationships, "officeDocument");
    const auto workbook =
        package.find(office ? resolveTarget("", office->target) : "xl/workbook.xml");
    if (!workbook) {
        throw Error(errc::BadTemplate, package.describe() + " has no workbook part");
    }
    names.workbook = *workbook;
    names.workbookRelationships =
        package.find(relationshipsPartOf(*workbook)).value_or(relationshipsPartOf(*workbook));
    const auto relationships = readRelationships(package, names.workbookRelationships);
    const auto partOf = [&](const Relationship* relationship) {
        return relationship ? package.find(resolveTarget(*workbook, relationship->target))
                            : std::nullopt;
    };

    pugi::xml_document document;
    parseOrThrow(document, package.read(*workbook), damagedPart(package, *workbook));
    const pugi::xml_node sheets = xml::child(document.document_element(), "sheets");
    const pugi::xml_node first = xml::child(sheets, "sheet");
    const Relationship* firstSheet = first ? sheetRelationship(relationships, first) : nullptr;
    const auto sheet = partOf(firstSheet);
    if (!sheet) {
        throw Error(errc::BadTemplate, package.describe() + " has no first worksheet");
    }
    if (!hasType(*firstSheet, "worksheet")) {
        throw Error(errc::BadTemplate,
                    package.describe() + " has a chart or dialog sheet first, not a worksheet");
    }
    names.sheet = *sheet;
    for (pugi::xml_node node : sheets.children()) {
        const Relationship* other =
            node != first ? sheetRelationship(relationships, node) : nullptr;
        if (other != nullptr && hasType(*other, "worksheet")) {
            if (const auto part = partOf(other)) {
                names.otherSheets.push_back(*part);
            }
        }
    }
    names.styles = partOf(findType(relationships, "styles")).value_or("");
    names.sharedStrings = partOf(findType(relationships, "sharedStrings")).value_or("");
    names.calcChain = partOf(findType(relationships, "calcChain")).value_or("");
    return names;
}

// The content types and the workbook's relationships, which saving changes when it adds or
// drops a part: read when first needed, written only when changed.
class PackageLists {
public:
    PackageLists(const WorkbookPackage& package, const PartNames& names)
        : package_(package), names_(names) {}

    // Registers a new style sheet beside the workbook part and returns its name.
    std::string addStyles() {
        load();
        const std::string folder = folderOf(names_.workbook);
        std::string part = folder + "styles.xml";
        for (int number = 1; package_.find(part); ++number) {
            part = folder + "styles" + std::to_string(number) + ".xml";
        }
        pugi::xml_node types = contentTypes_.document_element();
        pugi::xml_node override =
            types.append_child((xml::prefixOf(types.name()) + "Override").c_str());
        override.append_attribute("PartName") = ("/" + part).c_str();
        override.append_attribute("ContentType") = stylesContentType;

        pugi::xml_node list = relationships_.document_element();
        std::set<std::string> ids;
        for (pugi::xml_node node : list.children()) {
            ids.insert(node.attribute("Id").value());
        }
        int number = 1;
        while (ids.count("rId" + std::to_string(number)) != 0) {
            ++number;
        }
        pugi::xml_node relationship =
            list.append_child((xml::prefixOf(list.name()) + "Relationship").c_str());
        relationship.append_attribute("Id") = ("rId" + std::to_string(number)).c_str();
        relationship.append_attribute("Type") =
            (std::string(relationshipNamespace) + "/styles").c_str();
        relationship.append_attribute("Target") = part.substr(folder.size()).c_str();
        contentTypesChanged_ = relationshipsChanged_ = true;
        return part;
    }

    // Drops the content type and the workbook's relationships of part.
    void remove(const std::string& part) {
        load();
        pugi::xml_node types = contentTypes_.document_element();
        for (pugi::xml_node node = types.first_child(); node;) {
            const pugi::xml_node next = node.next_sibling();
            if (xml::localName(node.name()) == "Override" &&
                package_.find(resolveTarget("", node.attribute("PartName").value())) == part) {
                types.remove_child(node);
                contentTypesChanged_ = true;
            }
            node = next;
        }
        pugi::xml_node list = relationships_.document_element();
        for (pugi::xml_node node = list.first_child(); node;) {
            const pugi::xml_node next = node.next_sibling();
            if (package_.find(resolveTarget(names_.workbook, node.attribute("Target").value())) ==
                part) {
                list.remove_child(node);
                relationshipsChanged_ = true;
            }
            node = next;
        }
    }

    void addTo(WorkbookPackage::Changes& changes, std::map<std::string, std::string>& bytes) const {
        if (contentTypesChanged_) {
            changes.replaced[contentTypesPart] = bytes[contentTypesPart] =
                xml::printDocument(contentTypes_);
        }
        if (relationshipsChanged_) {
            changes.replaced[names_.workbookRelationships] = bytes[names_.workbookRelationships] =
                xml::printDocument(relationships_);
        }
    }

private:
    void load() {
        if (!contentTypes_.document_element()) {
            parseOrThrow(contentTypes_, package_.read(contentTypesPart),
                         damagedPart(package_, contentTypesPart));
            parseOrThrow(relationships_, package_.read(names_.workbookRelationships),
                         damagedPart(package_, names_.workbookRelationships));
        }
    }

    const WorkbookPackage& package_;
    const PartNames& names_;
    pugi::xml_document contentTypes_;
    pugi::xml_document relationships_;
    bool contentTypesChanged_ = false;
    bool relationshipsChanged_ = false;
};

}  // namespace

struct Workbook::Parts {
    std::unique_ptr<WorkbookPackage> package;
    PartNames names;
    SharedStrings sharedStrings;
    std::unique_ptr<WorkbookStyles> styles;
    std::unique_ptr<Worksheet> sheet;
};

Workbook::Workbook(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
Workbook::Workbook(Workbook&&) noexcept = default;
Workbook& Workbook::operator=(Workbook&&) noexcept = default;
Workbook::~Workbook() = default;

Worksheet& Workbook::firstSheet() {
    return *parts_->sheet;
}

Workbook Workbook::blank() {
    auto parts = std::make_unique<Parts>();
    parts->package = WorkbookPackage::inMemory(blankParts());
    parts->names = locateParts(*parts->package);
    parts->styles = std::make_unique<WorkbookStyles>(WorkbookStyles::blankXml(), "blank workbook");
    parts->sheet.reset(new Worksheet(*parts->styles, parts->sharedStrings.texts));
    WorksheetXml::load(*parts->sheet, parts->package->read(parts->names.sheet), "blank workbook");
    return Workbook(std::move(parts));
}

Workbook Workbook::open(const std::string& path) {
    auto parts = std::make_unique<Parts>();
    parts->package = WorkbookPackage::open(path);
    const WorkbookPackage& package = *parts->package;
    const PartNames& names = parts->names = locateParts(package);
    parts->styles = std::make_unique<WorkbookStyles>(
        names.styles.empty() ? std::string(WorkbookStyles::blankXml()) : package.read(names.styles),
        damagedPart(package, names.styles));
    if (!names.sharedStrings.empty()) {
        parts->sharedStrings = readSharedStrings(package.read(names.sharedStrings),
                                                 damagedPart(package, names.sharedStrings));
    }
    parts->sheet.reset(new Worksheet(*parts->styles, parts->sharedStrings.texts));
    WorksheetXml::load(*parts->sheet, package.read(names.sheet), damagedPart(package, names.sheet));
    return Workbook(std::move(parts));
}

void Workbook::saveAs(const std::string& path) {
    const Parts& parts = *parts_;
    const WorkbookPackage& package = *parts.package;
    const PartNames& names = parts.names;
    WorkbookPackage::Changes changes;
    std::map<std::string, std::string> bytes;  // what changes.replaced points to
    PackageLists lists(package, names);

    const std::string sheetXml = WorksheetXml::write(*parts.sheet);
    changes.replaced[names.sheet] = sheetXml;

    if (parts.styles->changed()) {
        // A template without a style sheet gets one.
        const std::string stylesPart = names.styles.empty() ? lists.addStyles() : names.styles;
        changes.replaced[stylesPart] = bytes[stylesPart] = parts.styles->toXml();
    }

    const std::size_t sharedCells = WorksheetXml::sharedStringCells(*parts.sheet);
    if (!names.sharedStrings.empty() && parts.sharedStrings.count &&
        sharedCells != parts.sheet->templateSharedCells_) {
        std::uint64_t total = sharedCells;
        for (const auto& other : names.otherSheets) {
            total += sharedStringReferences(package.read(other));
        }
        if (total != *parts.sharedStrings.count) {
            changes.replaced[names.sharedStrings] = bytes[names.sharedStrings] =
                withSharedStringCount(package.read(names.sharedStrings), total);
        }
    }

    // A calculation chain that lists cells we changed would be stale.
    if (!names.calcChain.empty() && parts.sheet->cellsChanged_) {
        changes.removed.insert(names.calcChain);
        lists.remove(names.calcChain);
    }
    lists.addTo(changes, bytes);
    package.saveAs(path, changes);
}

}  // namespace vexlo::workbook
