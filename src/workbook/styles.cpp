#include "workbook/styles.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/error.h"
#include "workbook/cellnumber.h"
#include "workbook/xml.h"

namespace vexlo::workbook {

namespace {

constexpr const char* blankStyleSheet =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\r\n"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/><family val="2"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill>)"
    R"(<fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(<dxfs count="0"/><tableStyles count="0"/></styleSheet>)";

// A font flag element (<b/>, <i val="1"/>) is on unless its val says otherwise.
bool flagOn(pugi::xml_node flag) {
    if (!flag) {
        return false;
    }
    const pugi::xml_attribute value = xml::attribute(flag, "val");
    if (!value) {
        return true;
    }
    const std::string text = value.value();
    return text != "0" && text != "false";
}

std::optional<HorizontalAlignment> alignmentOf(std::string_view horizontal) {
    if (horizontal == "left") {
        return HorizontalAlignment::Left;
    }
    if (horizontal == "center" || horizontal == "centerContinuous") {
        return HorizontalAlignment::Center;
    }
    if (horizontal == "right") {
        return HorizontalAlignment::Right;
    }
    return std::nullopt;
}

const char* alignmentName(HorizontalAlignment alignment) {
    switch (alignment) {
        case HorizontalAlignment::Left:
            return "left";
        case HorizontalAlignment::Center:
            return "center";
        case HorizontalAlignment::Right:
            break;
    }
    return "right";
}

void setAttribute(pugi::xml_node node, const char* name, const std::string& value) {
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        attribute = node.append_attribute(name);
    }
    attribute.set_value(value.c_str());
}

// The RGB colour of a solid fill: its foreground colour, written as 8 hex digits (alpha, then
// red, green and blue).
std::optional<std::uint32_t> solidColour(pugi::xml_node fill) {
    const pugi::xml_node pattern = xml::child(fill, "patternFill");
    if (std::string_view(xml::attribute(pattern, "patternType").as_string()) != "solid") {
        return std::nullopt;
    }
    const std::string_view rgb = xml::attribute(xml::child(pattern, "fgColor"), "rgb").as_string();
    if (rgb.size() != 8 || !std::all_of(rgb.begin(), rgb.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return std::nullopt;
    }
    std::uint32_t argb = 0;
    std::from_chars(rgb.data(), rgb.data() + rgb.size(), argb, 16);
    return argb & 0xFFFFFF;
}

std::uint32_t count(pugi::xml_node list) {
    std::uint32_t elements = 0;
    for (pugi::xml_node node : list.children()) {
        elements += node.type() == pugi::node_element ? 1 : 0;
    }
    return elements;
}

}  // namespace

const char* WorkbookStyles::blankXml() noexcept {
    return blankStyleSheet;
}

WorkbookStyles::WorkbookStyles(std::string_view text, const std::string& damagedPart) {
    const std::string failure =
        xml::parse(document_, text, pugi::parse_default | pugi::parse_declaration);
    if (!failure.empty()) {
        throw Error(errc::BadTemplate, damagedPart + ": " + failure);
    }
    const pugi::xml_node root = document_.document_element();
    if (xml::localName(root.name()) != "styleSheet") {
        throw Error(errc::BadTemplate, damagedPart + ": it is not a style sheet");
    }
    prefix_ = xml::prefixOf(root.name());
    fonts_ = child(root, "fonts");
    fills_ = child(root, "fills");
    cellXfs_ = child(root, "cellXfs");
    for (pugi::xml_node font : fonts_.children()) {
        if (font.type() == pugi::node_element) {
            fontNodes_.push_back(font);
        }
    }
    for (pugi::xml_node fill : fills_.children()) {
        if (fill.type() == pugi::node_element) {
            fillNodes_.push_back(fill);
        }
    }
    for (pugi::xml_node xf : cellXfs_.children()) {
        if (xf.type() == pugi::node_element) {
            xfNodes_.push_back(xf);
        }
    }
}

pugi::xml_node WorkbookStyles::child(pugi::xml_node parent, const char* localName) const {
    return xml::child(parent, localName);
}

// The list element of that name, created after the first of its predecessors that exists when
// the template has none.
pugi::xml_node WorkbookStyles::ensureList(const char* localName,
                                          std::initializer_list<const char*> after) {
    pugi::xml_node root = document_.document_element();
    pugi::xml_node list = child(root, localName);
    if (list) {
        return list;
    }
    for (const char* previous : after) {
        if (const pugi::xml_node node = child(root, previous)) {
            return root.insert_child_after(name(localName).c_str(), node);
        }
    }
    return root.prepend_child(name(localName).c_str());
}

pugi::xml_node WorkbookStyles::xfNode(std::uint32_t xf) const {
    if (xf < xfNodes_.size()) {
        return xfNodes_[xf];
    }
    return xfNodes_.empty() ? pugi::xml_node() : xfNodes_.front();
}

CellFormat WorkbookStyles::format(std::uint32_t xf) const {
    if (xf < formats_.size() && formats_[xf]) {
        return *formats_[xf];
    }
    CellFormat result;
    const pugi::xml_node node = xfNode(xf);
    const std::uint32_t fontId = xml::attribute(node, "fontId").as_uint();
    const pugi::xml_node font = fontId < fontNodes_.size() ? fontNodes_[fontId]
                                : fontNodes_.empty()       ? pugi::xml_node()
                                                           : fontNodes_.front();
    result.bold = flagOn(child(font, "b"));
    result.italic = flagOn(child(font, "i"));
    if (const pugi::xml_node size = child(font, "sz")) {
        result.size = xml::attribute(size, "val").as_double(11);
    }
    result.alignment =
        alignmentOf(xml::attribute(child(node, "alignment"), "horizontal").as_string());
    // A fill past the end of the list is none.
    const std::uint32_t fillId = xml::attribute(node, "fillId").as_uint();
    if (fillId < fillNodes_.size()) {
        result.fill = solidColour(fillNodes_[fillId]);
    }
    if (formats_.size() <= xf) {
        formats_.resize(xf + 1);
    }
    formats_[xf] = result;
    return result;
}

// Keeps added, the last child of list, unless an equal element is there already from index
// firstShared on: then added goes and the earlier one's index is returned. Counts follow the
// list.
std::uint32_t WorkbookStyles::keep(pugi::xml_node list, std::vector<pugi::xml_node>& nodes,
                                   std::unordered_map<std::string, std::uint32_t>& known,
                                   pugi::xml_node added, std::uint32_t firstShared) {
    if (known.empty()) {
        for (std::uint32_t index = firstShared; index < nodes.size(); ++index) {
            known.emplace(xml::print(nodes[index]), index);
        }
    }
    const auto [place, isNew] =
        known.emplace(xml::print(added), static_cast<std::uint32_t>(nodes.size()));
    if (!isNew) {
        list.remove_child(added);
        return place->second;
    }
    nodes.push_back(added);
    setAttribute(list, "count", std::to_string(count(list)));
    changed_ = true;
    return place->second;
}

void WorkbookStyles::changeFont(pugi::xml_node font, const CellStyleChange& change) const {
    const auto removeAll = [&](const char* localName) {
        while (const pugi::xml_node node = child(font, localName)) {
            font.remove_child(node);
        }
    };
    if (change.italic) {
        removeAll("i");
        if (*change.italic) {
            font.prepend_child(name("i").c_str());
        }
    }
    if (change.bold) {
        removeAll("b");
        if (*change.bold) {
            font.prepend_child(name("b").c_str());
        }
    }
    if (change.size) {
        // Sizes a spreadsheet accepts: 1 to 409 points.
        const std::string size = formatNumber(std::clamp(*change.size, 1.0, 409.0));
        pugi::xml_node sz = child(font, "sz");
        if (!sz) {
            pugi::xml_node before;
            for (const char* follower : {"color", "name", "family", "charset", "scheme"}) {
                before = child(font, follower);
                if (before) {
                    break;
                }
            }
            sz = before ? font.insert_child_before(name("sz").c_str(), before)
                        : font.append_child(name("sz").c_str());
        }
        setAttribute(sz, "val", size);
    }
}

std::uint32_t WorkbookStyles::deriveFont(std::uint32_t font, const CellStyleChange& change) {
    fonts_ = ensureList("fonts", {"numFmts"});
    if (fontNodes_.empty()) {
        // Formats that name no font use the first: a derived font must not take its place.
        keep(fonts_, fontNodes_, knownFonts_, fonts_.append_child(name("font").c_str()));
    }
    // A font past the end of the list reads as the first.
    pugi::xml_node added = fonts_.append_copy(fontNodes_[font < fontNodes_.size() ? font : 0]);
    changeFont(added, change);
    return keep(fonts_, fontNodes_, knownFonts_, added);
}

std::uint32_t WorkbookStyles::deriveFill(std::uint32_t colour) {
    fills_ = ensureList("fills", {"fonts", "numFmts"});
    // Spreadsheet programs take the first two fills as none and gray125, whatever the list says:
    // they are there before any fill of ours, and never shared.
    while (fillNodes_.size() < 2) {
        pugi::xml_node reserved = fills_.append_child(name("fill").c_str());
        setAttribute(reserved.append_child(name("patternFill").c_str()), "patternType",
                     fillNodes_.empty() ? "none" : "gray125");
        fillNodes_.push_back(reserved);
    }
    char argb[16];
    std::snprintf(argb, sizeof argb, "FF%06X", colour);
    pugi::xml_node added = fills_.append_child(name("fill").c_str());
    pugi::xml_node pattern = added.append_child(name("patternFill").c_str());
    setAttribute(pattern, "patternType", "solid");
    setAttribute(pattern.append_child(name("fgColor").c_str()), "rgb", argb);
    setAttribute(pattern.append_child(name("bgColor").c_str()), "indexed", "64");
    return keep(fills_, fillNodes_, knownFills_, added, 2);
}

std::uint32_t WorkbookStyles::derive(std::uint32_t xf, const CellStyleChange& change) {
    cellXfs_ = ensureList("cellXfs", {"cellStyleXfs", "borders", "fills", "fonts", "numFmts"});
    if (xfNodes_.empty()) {
        // Cells without a format use the first: a derived format must not take its place.
        pugi::xml_node plain = cellXfs_.append_child(name("xf").c_str());
        for (const char* id : {"numFmtId", "fontId", "fillId", "borderId", "xfId"}) {
            setAttribute(plain, id, "0");
        }
        keep(cellXfs_, xfNodes_, knownXfs_, plain);
    }
    const pugi::xml_node base = xfNode(xf);
    pugi::xml_node added;
    if (base) {
        added = cellXfs_.append_copy(base);
    } else {
        added = cellXfs_.append_child(name("xf").c_str());
        for (const char* id : {"numFmtId", "fontId", "fillId", "borderId", "xfId"}) {
            setAttribute(added, id, "0");
        }
    }
    if (change.bold || change.italic || change.size) {
        const std::uint32_t font = deriveFont(xml::attribute(added, "fontId").as_uint(), change);
        setAttribute(added, "fontId", std::to_string(font));
        setAttribute(added, "applyFont", "1");
    }
    if (change.fill) {
        setAttribute(added, "fillId", std::to_string(deriveFill(*change.fill)));
        setAttribute(added, "applyFill", "1");
    }
    if (change.alignment) {
        pugi::xml_node alignment = child(added, "alignment");
        if (!alignment) {
            alignment = added.prepend_child(name("alignment").c_str());
        }
        setAttribute(alignment, "horizontal", alignmentName(*change.alignment));
        setAttribute(added, "applyAlignment", "1");
    }
    return keep(cellXfs_, xfNodes_, knownXfs_, added);
}

std::string WorkbookStyles::toXml() const {
    return xml::printDocument(document_);
}

}  // namespace vexlo::workbook
