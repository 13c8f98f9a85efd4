#include "workbook/sheetxml.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>

#include "common/error.h"
#include "workbook/cellnumber.h"
#include "workbook/xml.h"
#include "workbook/xmlscanner.h"

namespace vexlo::workbook {

namespace {

// Children of a worksheet in the order the schema requires.
constexpr std::array<const char*, 39> childOrder = {"sheetPr",
                                                    "dimension",
                                                    "sheetViews",
                                                    "sheetFormatPr",
                                                    "cols",
                                                    "sheetData",
                                                    "sheetCalcPr",
                                                    "sheetProtection",
                                                    "protectedRanges",
                                                    "scenarios",
                                                    "autoFilter",
                                                    "sortState",
                                                    "dataConsolidate",
                                                    "customSheetViews",
                                                    "mergeCells",
                                                    "phoneticPr",
                                                    "conditionalFormatting",
                                                    "dataValidations",
                                                    "hyperlinks",
                                                    "printOptions",
                                                    "pageMargins",
                                                    "pageSetup",
                                                    "headerFooter",
                                                    "rowBreaks",
                                                    "colBreaks",
                                                    "customProperties",
                                                    "cellWatches",
                                                    "ignoredErrors",
                                                    "smartTags",
                                                    "drawing",
                                                    "legacyDrawing",
                                                    "legacyDrawingHF",
                                                    "drawingHF",
                                                    "picture",
                                                    "oleObjects",
                                                    "controls",
                                                    "webPublishItems",
                                                    "tableParts",
                                                    "extLst"};

int rankOf(std::string_view localName) {
    for (std::size_t rank = 0; rank < childOrder.size(); ++rank) {
        if (localName == childOrder[rank]) {
            return static_cast<int>(rank);
        }
    }
    return -1;
}

const int dimensionRank = rankOf("dimension");
const int colsRank = rankOf("cols");
const int sheetDataRank = rankOf("sheetData");
const int mergeCellsRank = rankOf("mergeCells");

struct Reference {
    int row = 0;     // 0 when the reference names no row
    int column = 0;  // 0 when it names no column
};

// "AB12" -> row 12, column 28; anything else gives zeros. "$" signs are allowed.
Reference parseReference(std::string_view text) {
    Reference reference;
    std::size_t at = 0;
    if (at < text.size() && text[at] == '$') {
        ++at;
    }
    int column = 0;
    while (at < text.size() && text[at] >= 'A' && text[at] <= 'Z' && column <= maxWorkbookColumns) {
        column = column * 26 + (text[at] - 'A' + 1);
        ++at;
    }
    if (at < text.size() && text[at] == '$') {
        ++at;
    }
    int row = 0;
    const auto [end, failure] = std::from_chars(text.data() + at, text.data() + text.size(), row);
    if (failure != std::errc() || end != text.data() + text.size()) {
        return {};
    }
    reference.row = row;
    reference.column = column;
    return reference;
}

bool inSheet(const Reference& reference) {
    return reference.row >= 1 && reference.row <= maxWorkbookRows && reference.column >= 1 &&
           reference.column <= maxWorkbookColumns;
}

void appendColumnLetters(std::string& out, int column) {
    char letters[4];
    int count = 0;
    for (int rest = column; rest > 0; rest = (rest - 1) / 26) {
        letters[count++] = static_cast<char>('A' + (rest - 1) % 26);
    }
    while (count > 0) {
        out += letters[--count];
    }
}

template <typename Number>
void appendNumber(std::string& out, Number value) {
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, written.ptr);
}

// The node's attributes as they are written in a start tag, without the names in skip.
std::string attributesText(pugi::xml_node node, std::initializer_list<std::string_view> skip) {
    std::string text;
    for (pugi::xml_attribute attribute : node.attributes()) {
        const std::string_view name = attribute.name();
        if (std::find(skip.begin(), skip.end(), name) != skip.end()) {
            continue;
        }
        text += ' ';
        text += name;
        text += "=\"";
        xml::appendAttribute(text, attribute.value());
        text += '"';
    }
    return text;
}

// The text of an inline or shared string: its <t>, or the <t> of each rich-text run. Phonetic
// runs are not part of the text.
std::string stringItemText(pugi::xml_node item) {
    std::string text;
    for (pugi::xml_node part : item.children()) {
        const std::string_view name = xml::localName(part.name());
        if (name == "t") {
            text += part.text().get();
        } else if (name == "r") {
            text += xml::child(part, "t").text().get();
        }
    }
    return xml::decodeEscapes(text);
}

// A plain string item holds one <t> and nothing else.
bool isPlainItem(pugi::xml_node item) {
    int elements = 0;
    for (pugi::xml_node part : item.children()) {
        if (part.type() == pugi::node_element) {
            if (xml::localName(part.name()) != "t") {
                return false;
            }
            ++elements;
        }
    }
    return elements == 1;
}

bool needsPreserve(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return !text.empty() && (isSpace(text.front()) || isSpace(text.back()));
}

std::string missingItem(const std::string& damaged, int row, int column) {
    return damaged + ": cell " + cellReference(row, column) +
           " names a shared string that does not exist";
}

// A sheet's rows are read a slice at a time once the part is this large, so that a big
// template never becomes one document tree: a tree takes ten times the size of its text.
constexpr std::size_t sliceSize = std::size_t(4) << 20;

// Where the rows of a sheet lie in its text: between the end of its sheetData start tag and the
// start of its end tag, with the row ends where slices are cut, found by scanning the markup so
// that a comment or CDATA section that spells a tag is no tag. A sheet the scan finds malformed
// is left to the parser of the slices to report, where it can: the rows up to the damage keep
// their cuts, and the end of the rows is looked up as text.
class RowFinder final : public xml::ScanHandler {
public:
    std::size_t begin = 0;
    std::size_t end = 0;
    std::vector<std::size_t> cuts;
    std::string endTag;  // "</sheetData>" as the sheet spells it

    void startElement(const xml::Tag& tag) override {
        if (tag.depth == 2 && state_ == State::Before && xml::localName(tag.name) == "sheetData") {
            state_ = tag.empty ? State::After : State::Inside;
            begin = end = static_cast<std::size_t>(tag.end);
            endTag = "</" + std::string(tag.name) + ">";
        }
    }

    void endElement(const xml::Tag& tag) override {
        if (state_ == State::Inside && tag.depth == 3 &&
            tag.end - (cuts.empty() ? begin : cuts.back()) >= sliceSize) {
            cuts.push_back(static_cast<std::size_t>(tag.end));
        } else if (state_ == State::Inside && tag.depth == 2) {
            end = static_cast<std::size_t>(tag.begin);
            state_ = State::After;
        }
    }

    // Scans text; false when its rows cannot be told apart from the rest.
    bool find(const std::string& text, std::string& failure) {
        xml::XmlScanner scanner(*this);
        if (!scanner.feed(text) || !scanner.finish()) {
            failure = scanner.error();
        }
        if (!scanner.utf8() || state_ == State::Before) {
            return false;
        }
        if (state_ == State::Inside) {
            end = text.find(endTag, cuts.empty() ? begin : cuts.back());
            state_ = State::After;
        }
        return end != std::string::npos && end > begin;
    }

private:
    enum class State { Before, Inside, After };
    State state_ = State::Before;
};

}  // namespace

void WorksheetXml::loadRowSlices(Worksheet& sheet, const std::string& text, std::size_t begin,
                                 std::size_t end, const std::vector<std::size_t>& cuts,
                                 const std::string& damaged) {
    int rowNumber = 0;
    for (std::size_t slice = 0, at = begin; at < end; ++slice) {
        const std::size_t cut = slice < cuts.size() ? std::min(cuts[slice], end) : end;
        pugi::xml_document document;
        const std::string failure = xml::parse(document, "<s>" + text.substr(at, cut - at) + "</s>",
                                               pugi::parse_default | pugi::parse_ws_pcdata_single,
                                               static_cast<std::ptrdiff_t>(at) - 3);
        if (!failure.empty()) {
            throw Error(errc::BadTemplate, damaged + ": " + failure);
        }
        loadCells(sheet, document.document_element(), damaged, rowNumber);
        at = cut;
    }
}

void WorksheetXml::load(Worksheet& sheet, const std::string& text, const std::string& damaged) {
    RowFinder rows;
    std::string scanFailure;
    bool sliced = text.size() > sliceSize && rows.find(text, scanFailure);
    if (!sliced && !scanFailure.empty()) {
        // A tree of the whole of a large damaged sheet is what slicing avoids.
        throw Error(errc::BadTemplate, damaged + ": " + scanFailure);
    }
    pugi::xml_document document;
    const std::string failure =
        sliced ? xml::parse(document, text.substr(0, rows.begin) + text.substr(rows.end),
                            pugi::parse_default | pugi::parse_ws_pcdata_single)
               : xml::parse(document, text, pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (!failure.empty()) {
        throw Error(errc::BadTemplate, damaged + ": " + failure);
    }
    const pugi::xml_node root = document.document_element();
    if (xml::localName(root.name()) != "worksheet") {
        throw Error(errc::BadTemplate, damaged + ": it is not a worksheet");
    }
    Worksheet::Frame& frame = sheet.frame_;
    frame.prefix = xml::prefixOf(root.name());
    frame.startTag = std::string("<") + root.name() + attributesText(root, {}) + ">";
    frame.endTag = std::string("</") + root.name() + ">";

    int rank = -1;
    for (pugi::xml_node node : root.children()) {
        if (node.type() != pugi::node_element) {
            continue;
        }
        const std::string_view name = xml::localName(node.name());
        const int known = rankOf(name);
        // An element the schema list does not know (mc:AlternateContent) keeps its place after
        // the one before it.
        rank = known >= 0 ? known : rank;
        if (name == "sheetData" && sliced) {
            loadRowSlices(sheet, text, rows.begin, rows.end, rows.cuts, damaged);
            sliced = false;
        } else if (name == "sheetData") {
            int rowNumber = 0;
            loadCells(sheet, node, damaged, rowNumber);
        } else if (name == "cols") {
            loadColumns(sheet, node);
        } else if (name == "mergeCells") {
            loadMerges(sheet, node);
        } else if (name != "dimension") {
            frame.children.emplace_back(rank, xml::print(node));
        }
    }
    if (!scanFailure.empty()) {
        throw Error(errc::BadTemplate, damaged + ": " + scanFailure);
    }
    sheet.templateSharedCells_ = sharedStringCells(sheet);
}

void WorksheetXml::loadCells(Worksheet& sheet, pugi::xml_node sheetData, const std::string& damaged,
                             int& rowNumber) {
    for (pugi::xml_node rowNode : sheetData.children()) {
        if (rowNode.type() != pugi::node_element || xml::localName(rowNode.name()) != "row") {
            continue;
        }
        const pugi::xml_attribute r = rowNode.attribute("r");
        rowNumber = r ? r.as_int() : rowNumber + 1;
        if (rowNumber < 1 || rowNumber > maxWorkbookRows) {
            throw Error(errc::BadTemplate, damaged + ": row number " +
                                               std::string(r ? r.value() : "") +
                                               " lies outside a worksheet");
        }
        Worksheet::Row& row = sheet.rowAt(rowNumber);
        row.attributes = sheet.rowAttributesIndex(attributesText(rowNode, {"r", "spans"}));
        int column = 0;
        for (pugi::xml_node cellNode : rowNode.children()) {
            if (cellNode.type() != pugi::node_element || xml::localName(cellNode.name()) != "c") {
                continue;
            }
            const pugi::xml_attribute reference = cellNode.attribute("r");
            const Reference position =
                reference ? parseReference(reference.value()) : Reference{rowNumber, column + 1};
            if (!inSheet(position)) {
                throw Error(errc::BadTemplate,
                            damaged + ": cell reference \"" + reference.value() + "\" is invalid");
            }
            column = position.column;
            loadCell(sheet, cellNode, rowNumber, column, damaged);
        }
    }
}

void WorksheetXml::loadCell(Worksheet& sheet, pugi::xml_node node, int row, int column,
                            const std::string& damaged) {
    const std::uint32_t style = node.attribute("s").as_uint();
    const std::string_view type = node.attribute("t").as_string("n");
    pugi::xml_node value = xml::child(node, "v");
    if (value && *value.text().get() == '\0') {
        value = pugi::xml_node();  // an empty <v/> holds no value
    }
    const pugi::xml_node inlineString = xml::child(node, "is");
    bool modelled = !xml::child(node, "f") && !xml::child(node, "extLst");
    for (pugi::xml_attribute attribute : node.attributes()) {
        const std::string_view name = attribute.name();
        modelled = modelled && (name == "r" || name == "s" || name == "t");
    }
    if (modelled && type == "n" && !value && !inlineString) {
        if (style != 0) {
            sheet.cellAt(row, column).style = style;
        }
        return;
    }
    if (modelled && type == "n" && value) {
        Cell& cell = sheet.cellAt(row, column);
        cell.style = style;
        sheet.storeText(cell, Kind::Number, value.text().get());
        return;
    }
    // Items are checked against the table once it is read (checkSharedItems); none past the
    // range of a cell's data can be in it.
    const std::uint64_t item = type == "s" ? value.text().as_ullong(~0ull) : 0;
    const bool itemInRange = item <= std::numeric_limits<std::uint32_t>::max();
    if (modelled && type == "s" && value) {
        if (!itemInRange) {
            throw Error(errc::BadTemplate, missingItem(damaged, row, column));
        }
        Cell& cell = sheet.cellAt(row, column);
        cell.style = style;
        cell.kind = Kind::Shared;
        cell.data = static_cast<std::uint32_t>(item);
        return;
    }
    if (modelled && type == "inlineStr" && inlineString && isPlainItem(inlineString)) {
        Cell& cell = sheet.cellAt(row, column);
        cell.style = style;
        sheet.storeText(cell, Kind::Text, stringItemText(inlineString));
        return;
    }
    // Anything else is carried as written; it reads as its cached text.
    Worksheet::RawCell raw;
    raw.xml = attributesText(node, {"r", "s"});
    if (node.first_child()) {
        raw.xml += '>';
        for (pugi::xml_node part : node.children()) {
            raw.xml += xml::print(part);
        }
        raw.xml += std::string("</") + node.name() + ">";
    } else {
        raw.xml += "/>";
    }
    raw.text = inlineString ? stringItemText(inlineString) : value.text().get();
    raw.number = type == "n" && value;
    raw.sharedString = type == "s";
    if (type == "s" && !inlineString) {
        raw.text.clear();
        if (itemInRange) {
            raw.sharedItem = static_cast<std::uint32_t>(item);
        }
    }
    Cell& cell = sheet.cellAt(row, column);
    cell.style = style;
    cell.kind = Kind::Raw;
    cell.data = sheet.rawCell(std::move(raw));
}

void WorksheetXml::loadColumns(Worksheet& sheet, pugi::xml_node cols) {
    for (pugi::xml_node node : cols.children()) {
        if (node.type() != pugi::node_element || xml::localName(node.name()) != "col") {
            continue;
        }
        const int first = std::clamp(node.attribute("min").as_int(), 1, maxWorkbookColumns);
        const int last = std::clamp(node.attribute("max").as_int(), first, maxWorkbookColumns);
        Column column;
        if (const pugi::xml_attribute width = node.attribute("width")) {
            column.width = width.as_double();
        }
        column.bestFit = node.attribute("bestFit").as_bool();
        column.customWidth = node.attribute("customWidth").as_bool();
        column.attributes = sheet.columnAttributesIndex(
            attributesText(node, {"min", "max", "width", "bestFit", "customWidth"}));
        for (int index = first; index <= last; ++index) {
            sheet.columnAt(index) = column;
        }
    }
}

void WorksheetXml::loadMerges(Worksheet& sheet, pugi::xml_node mergeCells) {
    for (pugi::xml_node node : mergeCells.children()) {
        if (node.type() != pugi::node_element || xml::localName(node.name()) != "mergeCell") {
            continue;
        }
        const std::string_view ref = node.attribute("ref").as_string();
        const auto colon = ref.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const Reference first = parseReference(ref.substr(0, colon));
        const Reference last = parseReference(ref.substr(colon + 1));
        if (inSheet(first) && inSheet(last) && first.row <= last.row &&
            first.column <= last.column) {
            sheet.merged_.push_back({first.row, first.column, last.row, last.column});
        }
    }
}

std::vector<std::uint32_t> WorksheetXml::sharedItems(const Worksheet& sheet) {
    std::vector<std::uint32_t> items;
    for (const auto& row : sheet.rows_) {
        for (const auto& cell : row.cells) {
            if (cell.kind == Kind::Shared) {
                items.push_back(cell.data);
            } else if (cell.kind == Kind::Raw && sheet.raw_[cell.data].sharedItem) {
                items.push_back(*sheet.raw_[cell.data].sharedItem);
            }
        }
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}

void WorksheetXml::checkSharedItems(const Worksheet& sheet, const std::string& damaged) {
    for (std::size_t row = 0; row < sheet.rows_.size(); ++row) {
        for (const auto& cell : sheet.rows_[row].cells) {
            if (cell.kind == Kind::Shared && cell.data >= sheet.sharedStrings_->size) {
                throw Error(errc::BadTemplate,
                            missingItem(damaged, static_cast<int>(row + 1), cell.column));
            }
        }
    }
}

std::size_t WorksheetXml::sharedStringCells(const Worksheet& sheet) {
    std::size_t count = 0;
    for (const auto& row : sheet.rows_) {
        for (const auto& cell : row.cells) {
            count += cell.kind == Kind::Shared ||
                             (cell.kind == Kind::Raw && sheet.raw_[cell.data].sharedString)
                         ? 1
                         : 0;
        }
    }
    return count;
}

void WorksheetXml::writeDimension(const Worksheet& sheet, std::string& out) {
    int firstRow = 0, lastRow = 0, firstColumn = maxWorkbookColumns, lastColumn = 0;
    for (std::size_t index = 0; index < sheet.rows_.size(); ++index) {
        for (const Cell& cell : sheet.rows_[index].cells) {
            if (cell.kind == Kind::Empty && cell.style == 0) {
                continue;
            }
            firstRow = firstRow == 0 ? static_cast<int>(index + 1) : firstRow;
            lastRow = static_cast<int>(index + 1);
            firstColumn = std::min<int>(firstColumn, cell.column);
            lastColumn = std::max<int>(lastColumn, cell.column);
        }
    }
    out += '<' + sheet.frame_.prefix + "dimension ref=\"";
    if (lastRow == 0) {
        out += "A1";
    } else {
        appendColumnLetters(out, firstColumn);
        appendNumber(out, firstRow);
        if (firstRow != lastRow || firstColumn != lastColumn) {
            out += ':';
            appendColumnLetters(out, lastColumn);
            appendNumber(out, lastRow);
        }
    }
    out += "\"/>";
}

std::string WorksheetXml::write(const Worksheet& sheet) {
    std::size_t cells = 0;
    for (const auto& row : sheet.rows_) {
        cells += row.cells.size();
    }
    std::string out;
    out.reserve(cells * 36 + (sheet.pool_.size() - sheet.poolGarbage_) + sheet.rows_.size() * 24 +
                4096);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    out += sheet.frame_.startTag;
    // Our elements go in among the template's others at their places in the schema order.
    using Writer = void (*)(const Worksheet&, std::string&);
    const std::array<std::pair<int, Writer>, 4> generated = {{{dimensionRank, &writeDimension},
                                                              {colsRank, &writeColumns},
                                                              {sheetDataRank, &writeCells},
                                                              {mergeCellsRank, &writeMerges}}};
    std::size_t next = 0;
    for (const auto& [rank, element] : sheet.frame_.children) {
        while (next < generated.size() && generated[next].first <= rank) {
            generated[next++].second(sheet, out);
        }
        out += element;
    }
    while (next < generated.size()) {
        generated[next++].second(sheet, out);
    }
    out += sheet.frame_.endTag;
    return out;
}

void WorksheetXml::writeColumns(const Worksheet& sheet, std::string& out) {
    const std::string& p = sheet.frame_.prefix;
    const auto& columns = sheet.columns_;
    const auto worth = [](const Column& column) {
        return column.width || column.attributes != 0 || column.bestFit || column.customWidth;
    };
    if (std::none_of(columns.begin(), columns.end(), worth)) {
        return;
    }
    out += '<' + p + "cols>";
    for (std::size_t first = 0; first < columns.size();) {
        std::size_t last = first;
        while (last + 1 < columns.size() && columns[last + 1] == columns[first]) {
            ++last;
        }
        const Column& column = columns[first];
        if (worth(column)) {
            out += '<' + p + "col min=\"";
            appendNumber(out, first + 1);
            out += "\" max=\"";
            appendNumber(out, last + 1);
            out += '"';
            if (column.width) {
                out += " width=\"" + formatNumber(*column.width) + '"';
            }
            out += sheet.columnAttributes_[column.attributes];
            out += column.bestFit ? " bestFit=\"1\"" : "";
            out += column.customWidth ? " customWidth=\"1\"" : "";
            out += "/>";
        }
        first = last + 1;
    }
    out += "</" + p + "cols>";
}

// The tags of cells and rows, spelled with the sheet's namespace prefix once for all cells.
struct WorksheetXml::CellTags {
    explicit CellTags(const std::string& p)
        : cellOpen('<' + p + "c r=\""),
          cellClose("</" + p + "c>"),
          valueOpen('<' + p + "v>"),
          valueClose("</" + p + "v>"),
          inlineOpen(" t=\"inlineStr\"><" + p + "is><" + p + "t"),
          inlineClose("</" + p + "t></" + p + "is></" + p + "c>"),
          rowOpen('<' + p + "row r=\""),
          rowClose("</" + p + "row>") {}

    std::string cellOpen, cellClose, valueOpen, valueClose, inlineOpen, inlineClose, rowOpen,
        rowClose;
};

void WorksheetXml::writeCell(const Worksheet& sheet, const Cell& cell, std::size_t row,
                             const CellTags& tags, std::string& out) {
    out += tags.cellOpen;
    appendColumnLetters(out, cell.column);
    appendNumber(out, row);
    out += '"';
    if (cell.style != 0) {
        out += " s=\"";
        appendNumber(out, cell.style);
        out += '"';
    }
    switch (cell.kind) {
        case Kind::Empty:
            out += "/>";
            break;
        case Kind::Number:
            out += '>';
            out += tags.valueOpen;
            out.append(sheet.pool_, cell.data, cell.length);
            out += tags.valueClose;
            out += tags.cellClose;
            break;
        case Kind::Shared:
            out += " t=\"s\">";
            out += tags.valueOpen;
            appendNumber(out, cell.data);
            out += tags.valueClose;
            out += tags.cellClose;
            break;
        case Kind::Text: {
            const std::string_view text(sheet.pool_.data() + cell.data, cell.length);
            out += tags.inlineOpen;
            out += needsPreserve(text) ? " xml:space=\"preserve\">" : ">";
            xml::appendText(out, text);
            out += tags.inlineClose;
            break;
        }
        case Kind::Raw:
            out += sheet.raw_[cell.data].xml;
            break;
    }
}

void WorksheetXml::writeCells(const Worksheet& sheet, std::string& out) {
    const std::string& p = sheet.frame_.prefix;
    const CellTags tags(p);
    const std::size_t sheetDataStart = out.size();
    out += '<' + p + "sheetData>";
    for (std::size_t index = 0; index < sheet.rows_.size(); ++index) {
        const Worksheet::Row& row = sheet.rows_[index];
        const std::size_t rowStart = out.size();
        out += tags.rowOpen;
        appendNumber(out, index + 1);
        out += '"';
        out += sheet.rowAttributes_[row.attributes];
        out += '>';
        const std::size_t cellsStart = out.size();
        for (const Cell& cell : row.cells) {
            // A cell with neither value nor format is no cell at all.
            if (cell.kind != Kind::Empty || cell.style != 0) {
                writeCell(sheet, cell, index + 1, tags, out);
            }
        }
        if (out.size() != cellsStart) {
            out += tags.rowClose;
        } else if (row.attributes != 0) {
            out.back() = '/';
            out += '>';
        } else {
            out.resize(rowStart);
        }
    }
    if (out.size() == sheetDataStart + p.size() + std::strlen("<sheetData>")) {
        out.insert(out.end() - 1, '/');
    } else {
        out += "</" + p + "sheetData>";
    }
}

void WorksheetXml::writeMerges(const Worksheet& sheet, std::string& out) {
    if (sheet.merged_.empty()) {
        return;
    }
    const std::string& p = sheet.frame_.prefix;
    out += '<' + p + "mergeCells count=\"";
    appendNumber(out, sheet.merged_.size());
    out += "\">";
    for (const CellRange& range : sheet.merged_) {
        out += '<' + p + "mergeCell ref=\"";
        appendColumnLetters(out, range.firstColumn);
        appendNumber(out, range.firstRow);
        out += ':';
        appendColumnLetters(out, range.lastColumn);
        appendNumber(out, range.lastRow);
        out += "\"/>";
    }
    out += "</" + p + "mergeCells>";
}

}  // namespace vexlo::workbook
