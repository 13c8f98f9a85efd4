#include "report/workbook.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <set>

#include "common/error.h"
#include "report/workbookpackage.h"
#include "report/workbooksheetxml.h"
#include "report/workbookstyles.h"
#include "report/workbookxml.h"

namespace vexlo::report {

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

}  // namespace

struct Workbook::Parts {
    std::unique_ptr<WorkbookPackage> package;
    std::string workbookPart;
    std::string workbookRelationshipsPart;
    std::string sheetPart;
    std::string stylesPart;  // empty until a template without styles needs one
    std::string sharedStringsPart;
    std::string calcChainPart;
    std::vector<std::string> otherSheetParts;
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
    parts->workbookPart = "xl/workbook.xml";
    parts->workbookRelationshipsPart = "xl/_rels/workbook.xml.rels";
    parts->sheetPart = "xl/worksheets/sheet1.xml";
    parts->stylesPart = "xl/styles.xml";
    parts->styles = std::make_unique<WorkbookStyles>(WorkbookStyles::blankXml(), "blank workbook");
    parts->sheet.reset(new Worksheet(*parts->styles, parts->sharedStrings.texts));
    WorksheetXml::load(*parts->sheet, parts->package->read(parts->sheetPart), "blank workbook");
    return Workbook(std::move(parts));
}

Workbook Workbook::open(const std::string& path) {
    auto parts = std::make_unique<Parts>();
    parts->package = WorkbookPackage::open(path);
    const WorkbookPackage& package = *parts->package;

    const auto packageRelationships = readRelationships(package, "_rels/.rels");
    const Relationship* office = findType(packageRelationships, "officeDocument");
    const auto workbookPart =
        package.find(office ? resolveTarget("", office->target) : "xl/workbook.xml");
    if (!workbookPart) {
        throw Error(errc::BadTemplate, package.describe() + " has no workbook part");
    }
    parts->workbookPart = *workbookPart;
    parts->workbookRelationshipsPart = relationshipsPartOf(*workbookPart);
    if (const auto found = package.find(parts->workbookRelationshipsPart)) {
        parts->workbookRelationshipsPart = *found;
    }

    pugi::xml_document workbook;
    parseOrThrow(workbook, package.read(*workbookPart), damagedPart(package, *workbookPart));
    const pugi::xml_node sheets = xml::child(workbook.document_element(), "sheets");
    const auto workbookRelationships = readRelationships(package, parts->workbookRelationshipsPart);
    const auto partOf = [&](pugi::xml_node sheet) -> const Relationship* {
        const std::string id = xml::attribute(sheet, "id").value();
        for (const auto& relationship : workbookRelationships) {
            if (relationship.id == id && !relationship.external) {
                return &relationship;
            }
        }
        return nullptr;
    };
    const pugi::xml_node firstSheet = xml::child(sheets, "sheet");
    const Relationship* sheetRelationship = firstSheet ? partOf(firstSheet) : nullptr;
    const auto sheetPart =
        sheetRelationship ? package.find(resolveTarget(*workbookPart, sheetRelationship->target))
                          : std::nullopt;
    if (!sheetPart) {
        throw Error(errc::BadTemplate, package.describe() + " has no first worksheet");
    }
    if (!hasType(*sheetRelationship, "worksheet")) {
        throw Error(errc::BadTemplate,
                    package.describe() + " has a chart or dialog sheet first, not a worksheet");
    }
    parts->sheetPart = *sheetPart;
    for (pugi::xml_node sheet : sheets.children()) {
        const Relationship* other = sheet != firstSheet ? partOf(sheet) : nullptr;
        if (other != nullptr && hasType(*other, "worksheet")) {
            if (const auto part = package.find(resolveTarget(*workbookPart, other->target))) {
                parts->otherSheetParts.push_back(*part);
            }
        }
    }

    const auto partOfType = [&](std::string_view kind) -> std::string {
        const Relationship* relationship = findType(workbookRelationships, kind);
        const auto part = relationship
                              ? package.find(resolveTarget(*workbookPart, relationship->target))
                              : std::nullopt;
        return part.value_or("");
    };
    parts->stylesPart = partOfType("styles");
    parts->sharedStringsPart = partOfType("sharedStrings");
    parts->calcChainPart = partOfType("calcChain");

    parts->styles = std::make_unique<WorkbookStyles>(parts->stylesPart.empty()
                                                         ? std::string(WorkbookStyles::blankXml())
                                                         : package.read(parts->stylesPart),
                                                     damagedPart(package, parts->stylesPart));
    if (!parts->sharedStringsPart.empty()) {
        parts->sharedStrings = readSharedStrings(package.read(parts->sharedStringsPart),
                                                 damagedPart(package, parts->sharedStringsPart));
    }
    parts->sheet.reset(new Worksheet(*parts->styles, parts->sharedStrings.texts));
    WorksheetXml::load(*parts->sheet, package.read(parts->sheetPart),
                       damagedPart(package, parts->sheetPart));
    return Workbook(std::move(parts));
}

void Workbook::saveAs(const std::string& path) {
    const Parts& parts = *parts_;
    const WorkbookPackage& package = *parts.package;
    WorkbookPackage::Changes changes;
    std::map<std::string, std::string> rewritten;  // keeps the bytes changes points to

    const std::string sheetXml = WorksheetXml::write(*parts.sheet);
    changes.replaced[parts.sheetPart] = sheetXml;

    pugi::xml_document contentTypes;
    pugi::xml_document workbookRelationships;
    bool contentTypesChanged = false;
    bool relationshipsChanged = false;
    const auto loadPackageLists = [&] {
        if (!contentTypes.document_element()) {
            parseOrThrow(contentTypes, package.read(contentTypesPart),
                         damagedPart(package, contentTypesPart));
            parseOrThrow(workbookRelationships, package.read(parts.workbookRelationshipsPart),
                         damagedPart(package, parts.workbookRelationshipsPart));
        }
    };

    std::string stylesPart = parts.stylesPart;
    if (parts.styles->changed()) {
        if (stylesPart.empty()) {
            // A template without a style sheet gets one beside its workbook part.
            loadPackageLists();
            stylesPart = folderOf(parts.workbookPart) + "styles.xml";
            for (int number = 1; package.find(stylesPart); ++number) {
                stylesPart =
                    folderOf(parts.workbookPart) + "styles" + std::to_string(number) + ".xml";
            }
            pugi::xml_node override = contentTypes.document_element().append_child(
                (xml::prefixOf(contentTypes.document_element().name()) + "Override").c_str());
            override.append_attribute("PartName") = ("/" + stylesPart).c_str();
            override.append_attribute("ContentType") = stylesContentType;
            std::set<std::string> ids;
            for (pugi::xml_node node : workbookRelationships.document_element().children()) {
                ids.insert(node.attribute("Id").value());
            }
            int number = 1;
            while (ids.count("rId" + std::to_string(number)) != 0) {
                ++number;
            }
            const std::string id = "rId" + std::to_string(number);
            pugi::xml_node relationship = workbookRelationships.document_element().append_child(
                (xml::prefixOf(workbookRelationships.document_element().name()) + "Relationship")
                    .c_str());
            relationship.append_attribute("Id") = id.c_str();
            relationship.append_attribute("Type") =
                (std::string(relationshipNamespace) + "/styles").c_str();
            relationship.append_attribute("Target") =
                stylesPart.substr(folderOf(parts.workbookPart).size()).c_str();
            contentTypesChanged = relationshipsChanged = true;
        }
        changes.replaced[stylesPart] = rewritten[stylesPart] = parts.styles->toXml();
    }

    const std::size_t sharedCells = WorksheetXml::sharedStringCells(*parts.sheet);
    if (!parts.sharedStringsPart.empty() && parts.sharedStrings.count &&
        sharedCells != parts.sheet->templateSharedCells_) {
        std::uint64_t total = sharedCells;
        for (const auto& other : parts.otherSheetParts) {
            total += sharedStringReferences(package.read(other));
        }
        if (total != *parts.sharedStrings.count) {
            changes.replaced[parts.sharedStringsPart] = rewritten[parts.sharedStringsPart] =
                withSharedStringCount(package.read(parts.sharedStringsPart), total);
        }
    }

    // A calculation chain that lists cells we changed would be stale.
    if (!parts.calcChainPart.empty() && parts.sheet->cellsChanged_) {
        loadPackageLists();
        changes.removed.insert(parts.calcChainPart);
        pugi::xml_node types = contentTypes.document_element();
        for (pugi::xml_node node = types.first_child(); node;) {
            const pugi::xml_node next = node.next_sibling();
            if (xml::localName(node.name()) == "Override" &&
                package.find(resolveTarget("", node.attribute("PartName").value())) ==
                    parts.calcChainPart) {
                types.remove_child(node);
                contentTypesChanged = true;
            }
            node = next;
        }
        pugi::xml_node list = workbookRelationships.document_element();
        for (pugi::xml_node node = list.first_child(); node;) {
            const pugi::xml_node next = node.next_sibling();
            if (package.find(resolveTarget(parts.workbookPart, node.attribute("Target").value())) ==
                parts.calcChainPart) {
                list.remove_child(node);
                relationshipsChanged = true;
            }
            node = next;
        }
    }
    if (contentTypesChanged) {
        changes.replaced[contentTypesPart] = rewritten[contentTypesPart] =
            xml::printDocument(contentTypes);
    }
    if (relationshipsChanged) {
        changes.replaced[parts.workbookRelationshipsPart] =
            rewritten[parts.workbookRelationshipsPart] = xml::printDocument(workbookRelationships);
    }
    package.saveAs(path, changes);
}

}  // namespace vexlo::report
