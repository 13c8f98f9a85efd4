#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "workbook/worksheet.h"

namespace vexlo::workbook {

// The workbook's style sheet (xl/styles.xml). Formats we derive are appended to the template's
// own fonts, fills and cell formats, so every index the template's cells use keeps its meaning.
class WorkbookStyles final {
public:
    // Throws errc::BadTemplate with damagedPart as the description's start when xml is no style
    // sheet.
    WorkbookStyles(std::string_view xml, const std::string& damagedPart);
    WorkbookStyles(const WorkbookStyles&) = delete;
    WorkbookStyles& operator=(const WorkbookStyles&) = delete;

    // The style sheet of a blank workbook: one font, Calibri 11, the two fills spreadsheet
    // programs reserve (none, gray125) and one cell format.
    static const char* blankXml() noexcept;

    // The cell format that is format xf with change applied; equal formats are shared.
    std::uint32_t derive(std::uint32_t xf, const CellStyleChange& change);
    CellFormat format(std::uint32_t xf) const;

    bool changed() const noexcept { return changed_; }
    std::string toXml() const;

private:
    pugi::xml_node child(pugi::xml_node parent, const char* localName) const;
    pugi::xml_node ensureList(const char* localName, std::initializer_list<const char*> after);
    pugi::xml_node xfNode(std::uint32_t xf) const;
    std::uint32_t deriveFont(std::uint32_t font, const CellStyleChange& change);
    void changeFont(pugi::xml_node font, const CellStyleChange& change) const;
    std::uint32_t deriveFill(std::uint32_t colour);
    std::uint32_t keep(pugi::xml_node list, std::vector<pugi::xml_node>& nodes,
                       std::unordered_map<std::string, std::uint32_t>& known, pugi::xml_node added,
                       std::uint32_t firstShared = 0);
    std::string name(const char* localName) const { return prefix_ + localName; }

    pugi::xml_document document_;
    std::string prefix_;
    pugi::xml_node fonts_;
    pugi::xml_node fills_;
    pugi::xml_node cellXfs_;
    std::vector<pugi::xml_node> fontNodes_;
    std::vector<pugi::xml_node> fillNodes_;
    std::vector<pugi::xml_node> xfNodes_;
    std::unordered_map<std::string, std::uint32_t> knownFonts_;
    std::unordered_map<std::string, std::uint32_t> knownFills_;
    std::unordered_map<std::string, std::uint32_t> knownXfs_;
    mutable std::vector<std::optional<CellFormat>> formats_;
    bool changed_ = false;
};

}  // namespace vexlo::workbook
