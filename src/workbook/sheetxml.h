#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "workbook/worksheet.h"

namespace vexlo::workbook {

// Reads a template's worksheet part into a Worksheet and writes a Worksheet back as a part.
// Writing is one streaming pass over the cells: no document tree of a large sheet is built.
class WorksheetXml final {
public:
    // damaged starts the message of the errc::BadTemplate thrown for a malformed part.
    static void load(Worksheet& sheet, const std::string& text, const std::string& damaged);
    static std::string write(const Worksheet& sheet);
    // Cells that refer to the shared string table.
    static std::size_t sharedStringCells(const Worksheet& sheet);
    // The items of the shared string table that the sheet's cells show, in order.
    static std::vector<std::uint32_t> sharedItems(const Worksheet& sheet);
    // Throws errc::BadTemplate for the first cell that names an item the table does not have.
    static void checkSharedItems(const Worksheet& sheet, const std::string& damaged);

private:
    using Cell = Worksheet::Cell;
    using Column = Worksheet::Column;
    using Kind = Worksheet::Kind;

    static void loadCells(Worksheet& sheet, pugi::xml_node sheetData, const std::string& damaged,
                          int& rowNumber);
    static void loadRowSlices(Worksheet& sheet, const std::string& text, std::size_t begin,
                              std::size_t end, const std::vector<std::size_t>& cuts,
                              const std::string& damaged);
    static void loadCell(Worksheet& sheet, pugi::xml_node node, int row, int column,
                         const std::string& damaged);
    static void loadColumns(Worksheet& sheet, pugi::xml_node cols);
    static void loadMerges(Worksheet& sheet, pugi::xml_node mergeCells);
    static void writeDimension(const Worksheet& sheet, std::string& out);
    static void writeColumns(const Worksheet& sheet, std::string& out);
    struct CellTags;
    static void writeCell(const Worksheet& sheet, const Cell& cell, std::size_t row,
                          const CellTags& tags, std::string& out);
    static void writeCells(const Worksheet& sheet, std::string& out);
    static void writeMerges(const Worksheet& sheet, std::string& out);
};

}  // namespace vexlo::workbook
