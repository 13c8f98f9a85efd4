#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

// Small XML helpers shared by the parts of the workbook engine. Elements are matched by local
// name: some producers write the spreadsheet namespace with a prefix ("x:sheetData").
namespace vexlo::workbook::xml {

std::string_view localName(std::string_view qualifiedName);
// "x:" for "x:worksheet", "" for "worksheet".
std::string prefixOf(std::string_view qualifiedName);
pugi::xml_node child(pugi::xml_node parent, std::string_view localName);
// The attribute whose local name is given, whatever its prefix ("r:id").
pugi::xml_attribute attribute(pugi::xml_node node, std::string_view localName);

// Parses xml; on failure returns pugixml's description with the byte offset, else "". A slice
// of a larger text reports offsets in that text when given where it starts there.
std::string parse(pugi::xml_document& document, std::string_view xml, unsigned options,
                  std::ptrdiff_t sliceStart = 0);
// The node as compact XML, no declaration added.
std::string print(pugi::xml_node node);
// The whole document, declaration included when it had one.
std::string printDocument(const pugi::xml_document& document);

// Appends text escaped for element content / for a double-quoted attribute. Bytes that are not
// valid UTF-8 are taken as Latin-1 characters, and characters XML cannot hold are written in the
// spreadsheet's _xHHHH_ form, so the part always stays well-formed.
void appendText(std::string& out, std::string_view text);
void appendAttribute(std::string& out, std::string_view value);
// Appends a character as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);
// Turns the spreadsheet's _xHHHH_ escapes back into characters.
std::string decodeEscapes(std::string_view text);

}  // namespace vexlo::workbook::xml
