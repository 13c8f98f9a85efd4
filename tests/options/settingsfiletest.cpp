#include "options/settingsfile.h"

#include <filesystem>
#include <memory>
#include <random>

#include "../saved/casefile.h"
#include "common/error.h"
#include "common/textfile.h"

namespace vexlo::options {
namespace {

using Lines = std::vector<std::string>;
using test::TempDir;

// The lines "Save" writes for values, without those of the defaults, joined by "; ".
std::string shown(const SettingsText& values) {
    const Lines defaults = settingsLines(initialWindowSettings());
    std::string text;
    for (const auto& line : settingsLines(values)) {
        if (std::find(defaults.begin(), defaults.end(), line) == defaults.end()) {
            text += (text.empty() ? "" : "; ") + line;
        }
    }
    return text;
}

SettingsText asText(const Settings& f) {
    return {std::to_string(f.Excel_Start),
            std::to_string(f.Header_Font_Size),
            std::to_string(f.Value_Font_Size),
            f.Value_Bold,
            f.Header_Bold,
            f.Value_Italic,
            f.Header_Italic,
            f.Align_Header,
            f.Align_Value,
            f.Export_File_Format,
            f.Excel_File_Start,
            f.Exclude_Attribute,
            f.Exclude_Values,
            f.Refdes_Order,
            f.Workbook_Xlsx};
}

template <typename Number>
std::string shown(const std::optional<Number>& number) {
    return number ? std::to_string(*number) : "none";
}

TEST(SettingsFile, Cases) {
    std::unique_ptr<TempDir> dir;
    std::string path;
    for (const auto& c : test::readCases("tests/options/settings.txt")) {
        SCOPED_TRACE("settings.txt:" + std::to_string(c.number));
        if (c.verb == "file" || c.verb == "nofile") {
            dir = std::make_unique<TempDir>();
            path = dir->file(settingsFileName);
            if (c.verb == "file") {
                test::writeFile(path, c.argument);
            }
        } else if (c.verb == "int") {
            EXPECT_EQ(shown(settingsInteger(c.argument)), c.expected) << c.argument;
        } else if (c.verb == "wide") {
            EXPECT_EQ(shown(settingsWideInteger(c.argument)), c.expected) << c.argument;
        } else if (c.verb == "options") {
            Settings fields{5, 11, 12, 3, 1, 1, 1, 1, 2, 2, "/kept.xls", "Old", "X", 1, 1};
            SetOptions(path, fields);
            EXPECT_EQ(shown(asText(fields)), c.expected);
        } else if (c.verb == "window") {
            EXPECT_EQ(shown(readWindowSettings(path)), c.expected);
        } else {
            ASSERT_EQ(c.verb, "problem");
            SettingsText values = initialWindowSettings();
            const auto bar = c.argument.find('|'), bar2 = c.argument.rfind('|');
            values.Header_Font_Size = c.argument.substr(0, bar);
            values.Value_Font_Size = c.argument.substr(bar + 1, bar2 - bar - 1);
            values.Excel_Start = c.argument.substr(bar2 + 1);
            EXPECT_EQ(settingsTextProblem(values), c.expected);
        }
        if (dir) {  // reading never writes
            EXPECT_EQ(dir->listing().size(), std::filesystem::exists(path) ? 1u : 0u);
        }
    }
}

// What "Save" writes, the window and start-up read back as it was saved.
TEST(SettingsFile, RandomSavesReadBack) {
    std::mt19937 random(5);
    const auto pick = [&](int first, int last) {
        return first + static_cast<int>(random() % static_cast<unsigned>(last - first + 1));
    };
    const auto text = [&](int most) {
        std::string made;
        for (int n = pick(0, most); n > 0; --n) {
            made += " =a/.,Z9"[pick(0, 7)];
        }
        return made;
    };
    for (int round = 0; round < 300; ++round) {
        const int start = pick(1, 1048576), header = pick(1, 409), value = pick(1, 409);
        const SettingsText saved{std::to_string(start),
                                 std::to_string(header),
                                 std::to_string(value),
                                 pick(0, 2),
                                 pick(0, 2),
                                 pick(0, 2),
                                 pick(0, 2),
                                 pick(-1, 2),
                                 pick(-1, 2),
                                 pick(-1, 3),
                                 text(6),
                                 text(4),
                                 text(6),
                                 pick(0, 2),
                                 pick(0, 2)};
        ASSERT_EQ(settingsTextProblem(saved), "");
        TempDir dir;
        const std::string path = dir.file(settingsFileName);
        vexlo::writeTextLines(path, settingsLines(saved));
        EXPECT_EQ(settingsLines(readWindowSettings(path)), settingsLines(saved));
        Settings fields;
        SetOptions(path, fields);
        EXPECT_EQ(settingsLines(asText(fields)), settingsLines(saved));
    }
}

// A folder in place of the file is named in the error; the fields hold the defaults by then.
TEST(SettingsFile, FolderInPlaceOfTheFileIsRefused) {
    TempDir dir;
    const std::string path = dir.file(settingsFileName);
    std::filesystem::create_directory(path);
    Settings fields{5, 11, 12, 3, 1, 1, 1, 1, 2, 2, "/kept.xls", "Old", "X", 1, 1};
    try {
        SetOptions(path, fields);
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(errorMessage(error),
                  "Error 75: Cannot read \"" + path + "\": it is a folder, not a regular file");
    }
    EXPECT_EQ(shown(asText(fields)), "Excel_File_Start=/kept.xls");
    EXPECT_THROW(readWindowSettings(path), Error);
}

}  // namespace
}  // namespace vexlo::options
