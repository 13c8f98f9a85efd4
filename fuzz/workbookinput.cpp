#include "workbookinput.h"

#include <sys/mman.h>
#include <unistd.h>
#include <zip.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "common/error.h"
#include "workbook/sheetxml.h"
#include "workbook/workbook.h"

namespace vexlo::fuzz {

namespace {

const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string packageTypes = "http://schemas.openxmlformats.org/package/2006/relationships";
const std::string documentTypes =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string typePrefix = "application/vnd.openxmlformats-officedocument.spreadsheetml.";

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

std::vector<std::pair<std::string, std::string>> fixedParts() {
    return {
        {"[Content_Types].xml",
         declaration +
             "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" "
             "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
             "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
             typePrefix + "sheet.main+xml\"/><Override PartName=\"/xl/worksheets/sheet1.xml\" " +
             "ContentType=\"" + typePrefix +
             "worksheet+xml\"/><Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" +
             typePrefix + "sharedStrings+xml\"/></Types>"},
        {"_rels/.rels", declaration + "<Relationships xmlns=\"" + packageTypes +
                            "\"><Relationship Id=\"rId1\" Type=\"" + documentTypes +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", declaration + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" +
                                documentTypes +
                                "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
                                "r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         declaration + "<Relationships xmlns=\"" + packageTypes +
             "\"><Relationship Id=\"rId1\" Type=\"" + documentTypes +
             "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
             documentTypes + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
    };
}

// The zip package of the parts, stored without compression.
std::string zipOf(const std::vector<std::pair<std::string, std::string>>& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    check(archive != nullptr);
    zip_source_keep(buffer);
    for (const auto& [name, bytes] : parts) {
        zip_source_t* part = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t entry = zip_file_add(archive, name.c_str(), part, ZIP_FL_ENC_UTF_8);
        check(entry >= 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(entry), ZIP_CM_STORE, 0);
    }
    check(zip_close(archive) == 0);
    std::string content;
    check(zip_source_open(buffer) == 0);
    char chunk[65536];
    for (zip_int64_t got; (got = zip_source_read(buffer, chunk, sizeof chunk)) > 0;) {
        content.append(chunk, static_cast<std::size_t>(got));
    }
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return content;
}

}  // namespace

std::string workbookWith(std::string_view sheetXml, std::string_view sharedStringsXml) {
    static const int file = ::memfd_create("vexlo-fuzz-workbook", MFD_CLOEXEC);
    check(file >= 0);
    auto parts = fixedParts();
    parts.emplace_back("xl/worksheets/sheet1.xml", sheetXml);
    parts.emplace_back("xl/sharedStrings.xml", sharedStringsXml);
    const std::string bytes = zipOf(parts);
    check(::ftruncate(file, 0) == 0);
    check(::pwrite(file, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    return "/proc/self/fd/" + std::to_string(file);
}

void exerciseWorkbook(const std::string& path) {
    using namespace vexlo::workbook;
    try {
        Workbook workbook = Workbook::open(path);
        Worksheet& sheet = workbook.firstSheet();
        const int lastRow = std::min(sheet.lastRow(), 64);
        const int lastColumn = std::min(sheet.lastColumn(), 64);
        for (int row = 1; row <= lastRow; ++row) {
            for (int column = 1; column <= lastColumn; ++column) {
                sheet.cell(row, column);
                sheet.format(row, column);
            }
        }
        sheet.setValue(2, 2, "007");
        sheet.setValue(2, 3, "1.5");
        sheet.applyStyle({1, 1, 3, 3}, {true, false, 12.0, HorizontalAlignment::Center, {}});
        sheet.autoFitColumns({1, 1, 3, 3});
        sheet.unmergeCells({1, 1, 3, 3});
        sheet.deleteRow(1);
        pugi::xml_document written;
        const std::string xml = WorksheetXml::write(sheet);
        check(written.load_buffer(xml.data(), xml.size()).status == pugi::status_ok);
    } catch (const Error&) {
    }
}

}  // namespace vexlo::fuzz
