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
#include "workbook/xmlscanner.h"

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

// Reads a part a piece at a time through handler; a part that cannot be read or is malformed
// throws errc::BadTemplate. Returns whether offsets the scanner gave are the part's own (the
// part is no UTF-16).
bool scanPart(const WorkbookPackage& package, const std::string& part, xml::ScanHandler& handler) {
    xml::XmlScanner scanner(handler);
    const auto fail = [&] {
        throw Error(errc::BadTemplate, damagedPart(package, part) + ": " + scanner.error());
    };
    package.read(part, [&](std::string_view piece) {
        if (!scanner.feed(piece)) {
            fail();
        }
    });
    if (!scanner.finish()) {
        fail();
    }
    return scanner.utf8();
}

// The number an attribute holds: digits read up to the first other character, a number past the
// range held at its end. Anything else reads as 0, so a count that differs is written anew.
std::uint64_t attributeNumber(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    return failure == std::errc::result_out_of_range ? UINT64_MAX : value;
}

// The count attribute of a shared string table: how many cells refer to it.
struct SharedStringCount {
    std::uint64_t value = 0;
    WorkbookPackage::Rewrite where;  // its digits in the part
};

// Reads the shared string table a piece at a time: its count, how many items it holds and the
// texts of the items wanted. An item's text is that of its <t>, or of the first <t> of each
// rich-text run (phonetic runs are no part of it), each as a parser's tree gives the text of an
// element: its first run of character data or CDATA, a run of white space only when it is the
// element's whole content.
class SharedStringsReader final : public xml::ScanHandler {
public:
    SharedStringsReader(SharedStrings& strings, std::vector<std::uint32_t> wanted)
        : strings_(strings), wanted_(std::move(wanted)) {}

    std::optional<SharedStringCount> count;

    void startElement(const xml::Tag& tag) override {
        depth_ = tag.depth;
        const std::string_view name = xml::localName(tag.name);
        if (tag.depth == 1) {
            if (const auto value = tag.attribute("count")) {
                count = SharedStringCount{attributeNumber(xml::decodeText(value->raw, false)),
                                          {value->at, value->raw.size(), {}}};
            }
        } else if (tag.depth == 2) {
            startItem(name == "si");
        } else if (!inWantedItem_) {
            return;
        } else if (inText_ && tag.depth == textDepth_ + 1) {
            endRun(false);
            ++textChildren_;
        } else if (tag.depth == 3 && name == "t") {
            startText(tag.depth);
        } else if (tag.depth == 3 && name == "r") {
            runHasText_ = false;
        } else if (tag.depth == 4 && name == "t" && !runHasText_ && inRun_) {
            runHasText_ = true;
            startText(tag.depth);
        }
        inRun_ = inWantedItem_ && tag.depth == 3 ? name == "r" : inRun_;
    }

    void endElement(const xml::Tag& tag) override {
        depth_ = tag.depth - 1;
        if (inText_ && tag.depth == textDepth_) {
            endRun(true);
            itemText_ += textOfElement_.value_or("");
            inText_ = false;
        } else if (tag.depth == 2 && inWantedItem_) {
            strings_.texts[static_cast<std::uint32_t>(strings_.size - 1)] =
                xml::decodeEscapes(itemText_);
            inWantedItem_ = false;
        }
    }

    void text(std::string_view raw, bool cdata, bool continued) override {
        if (!inText_ || depth_ != textDepth_ || textOfElement_) {
            return;
        }
        if (!continued) {
            endRun(false);
            inTextRun_ = true;
            runIsCData_ = cdata;
            run_.clear();
        }
        run_ += raw;
    }

private:
    void startItem(bool item) {
        inWantedItem_ = false;
        if (!item) {
            return;
        }
        const std::uint64_t number = strings_.size++;
        while (nextWanted_ < wanted_.size() && wanted_[nextWanted_] < number) {
            ++nextWanted_;
        }
        inWantedItem_ = nextWanted_ < wanted_.size() && wanted_[nextWanted_] == number;
        itemText_.clear();
    }

    void startText(int depth) {
        inText_ = true;
        textDepth_ = depth;
        textChildren_ = 0;
        inTextRun_ = false;
        textOfElement_.reset();
    }

    // A run of white space is kept only as the whole content of its element.
    void endRun(bool atElementEnd) {
        if (!inTextRun_) {
            return;
        }
        inTextRun_ = false;
        const bool space = run_.find_first_not_of(" \t\r\n") == std::string::npos;
        if (runIsCData_ || !space || (atElementEnd && textChildren_ == 0)) {
            ++textChildren_;
            if (!textOfElement_) {
                textOfElement_ = xml::decodeText(run_, runIsCData_);
            }
        }
    }

    SharedStrings& strings_;
    const std::vector<std::uint32_t> wanted_;  // ascending
    std::size_t nextWanted_ = 0;
    int depth_ = 0;
    bool inWantedItem_ = false;
    std::string itemText_;
    bool inRun_ = false;  // in a rich-text run of a wanted item
    bool runHasText_ = false;
    bool inText_ = false;  // in a <t> whose text counts
    int textDepth_ = 0;
    int textChildren_ = 0;  // nodes a tree would hold in the <t> so far
    std::optional<std::string> textOfElement_;
    bool inTextRun_ = false;
    bool runIsCData_ = false;
    std::string run_;
};

// Counts the cells of a worksheet that refer to the shared string table: those with t="s" in
// the rows of its sheetData.
class SharedReferenceCounter final : public xml::ScanHandler {
public:
    std::uint64_t count = 0;

    void startElement(const xml::Tag& tag) override {
        if (tag.depth == 2 && !seen_ && xml::localName(tag.name) == "sheetData") {
            seen_ = inRows_ = true;
        } else if (tag.depth == 4 && inRows_) {
            const auto type = tag.attribute("t");
            count += type && xml::decodeText(type->raw, false) == "s" ? 1 : 0;
        }
    }

    void endElement(const xml::Tag& tag) override { inRows_ = inRows_ && tag.depth != 2; }

private:
    bool seen_ = false;
    bool inRows_ = false;
};

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
    std::optional<SharedStringCount> sharedStringCount;
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
    parts->sheet.reset(new Worksheet(*parts->styles, parts->sharedStrings));
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
    // The sheet first: of the shared strings, only the texts it shows are kept.
    parts->sheet.reset(new Worksheet(*parts->styles, parts->sharedStrings));
    const std::string sheetDamaged = damagedPart(package, names.sheet);
    WorksheetXml::load(*parts->sheet, package.read(names.sheet), sheetDamaged);
    if (!names.sharedStrings.empty()) {
        SharedStringsReader reader(parts->sharedStrings, WorksheetXml::sharedItems(*parts->sheet));
        // Where the count lies is known in a UTF-8 table only; a UTF-16 one keeps its count.
        if (scanPart(package, names.sharedStrings, reader)) {
            parts->sharedStringCount = reader.count;
        }
    }
    WorksheetXml::checkSharedItems(*parts->sheet, sheetDamaged);
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

    // The table's count follows the cells that refer to it, in every sheet. The other sheets
    // are read only to count them, and the table is copied with the count's digits changed.
    const std::size_t sharedCells = WorksheetXml::sharedStringCells(*parts.sheet);
    const auto& count = parts.sharedStringCount;
    if (count && sharedCells != parts.sheet->templateSharedCells_) {
        std::uint64_t total = sharedCells;
        for (const auto& other : names.otherSheets) {
            SharedReferenceCounter counter;
            scanPart(package, other, counter);
            total += counter.count;
        }
        if (total != count->value) {
            WorkbookPackage::Rewrite rewrite = count->where;
            rewrite.bytes = std::to_string(total);
            changes.rewritten[names.sharedStrings] = rewrite;
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
