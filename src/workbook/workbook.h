#pragma once

#include <memory>
#include <string>

#include "workbook/worksheet.h"

namespace vexlo::workbook {

// A workbook: a template package or a blank one, with its first worksheet.
class Workbook final {
public:
    // One sheet "Sheet1", default font Calibri 11.
    static Workbook blank();
    // Any OOXML workbook; throws errc::BadTemplate naming the file when it cannot be one.
    static Workbook open(const std::string& path);

    Workbook(Workbook&&) noexcept;
    Workbook& operator=(Workbook&&) noexcept;
    ~Workbook();

    Worksheet& firstSheet();

    // Writes the workbook under path, replacing a file of that name atomically: on failure the
    // old file stays whole, nothing new is left behind, and the error names the file. Removes a
    // calculation chain once the sheet's cells changed; the workbook can be saved again.
    void saveAs(const std::string& path);

private:
    struct Parts;
    explicit Workbook(std::unique_ptr<Parts> parts);

    std::unique_ptr<Parts> parts_;
};

}  // namespace vexlo::workbook
