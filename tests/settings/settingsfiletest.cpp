#include "settings/settingsfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "cases.h"
#include "common/error.h"
#include "common/textfile.h"
#include "testsupport.h"

namespace vexlo::settings {
namespace {

using test::TempDir;

// Lines "Save" writes, without those of the defaults, joined by "; ".
std::string shown(const std::vector<std::string>& lines) {
    const std::vector<std::string> defaults = settingsLines(initialWindowSettings());
    std::string text;
    for (const auto& line : lines) {
        if (std::find(defaults.begin(), defaults.end(), line) == defaults.end()) {
            text += (text.empty() ? "" : "; ") + line;
        }
    }
    return text;
}

std::vector<std::string> linesOf(const Settings& f) {
    return settingsLines({std::to_string(f.Excel_Start), std::to_string(f.Header_Font_Size),
                          std::to_string(f.Value_Font_Size), f.Value_Bold, f.Header_Bold,
                          f.Value_Italic, f.Header_Italic, f.Align_Header, f.Align_Value,
                          f.Export_File_Format, f.Excel_File_Start, f.Exclude_Attribute,
                          f.Exclude_Values, f.Refdes_Order, f.Workbook_Xlsx});
}

std::string shown(const std::optional<long>& number) {
    return number ? std::to_string(*number) : "none";
}

// What a reading gives, or its error (the path written PATH).
std::string read(const std::string& path, const std::function<std::string()>& reading) {
    try {
        return reading();
    } catch (const Error& error) {
        std::string message = errorMessage(error);
        return message.replace(message.find(path), path.size(), "PATH");
    }
}

// What a line gives: a number read, a settings file read or the problem "Save" names.
std::string result(const test::CaseLine& c, const std::string& path) {
    Settings fields{5, 11, 12, 3, 1, 1, 1, 1, 2, 2, "/kept.xls", "Old", "X", 1, 1};
    if (c.verb == "int") {
        return shown(settingsInteger(c.argument));
    } else if (c.verb == "wide") {
        return shown(settingsWideInteger(c.argument));
    } else if (c.verb == "options") {
        std::string result = read(path, [&] {
            SetOptions(path, fields);
            return std::string();
        });
        const std::string values = shown(linesOf(fields));  // the defaults also after an error
        return result + (result.empty() || values.empty() ? values : "; " + values);
    } else if (c.verb == "window") {
        return read(path, [&] { return shown(settingsLines(readWindowSettings(path))); });
    }
    EXPECT_EQ(c.verb, "problem");
    SettingsText values = initialWindowSettings();
    const auto bar = c.argument.find('|'), bar2 = c.argument.rfind('|');
    values.Header_Font_Size = c.argument.substr(0, bar);
    values.Value_Font_Size = c.argument.substr(bar + 1, bar2 - bar - 1);
    values.Excel_Start = c.argument.substr(bar2 + 1);
    return settingsTextProblem(values);
}

// A section of settings.txt, its lines in turn.
void settingsSection(const test::CaseSection& section) {
    std::unique_ptr<TempDir> dir;
    std::string path;
    bool unprivileged = false;  // the file's mode keeps others from reading it
    for (const auto& c : section.lines) {
        SCOPED_TRACE("settings.txt:" + std::to_string(c.number));
        if (c.verb == "mode") {
            ::chmod(dir->path().c_str(), 0777);
            ::chmod(path.c_str(), std::stoi(c.argument, nullptr, 8));
            unprivileged = true;
            continue;
        } else if (c.verb == "file" || c.verb == "nofile" || c.verb == "folder") {
            dir = std::make_unique<TempDir>();
            path = dir->file(settingsFileName);
            if (c.verb != "nofile") {
                c.verb == "file" ? test::writeFile(path, c.argument)
                                 : (void)std::filesystem::create_directory(path);
            }
            continue;
        }
        if (unprivileged) {  // as an ordinary user, whom the mode stops
            EXPECT_EQ(test::runUnprivileged([&] {
                          const std::string got = result(c, path);
                          std::fprintf(stderr, "%s\n", got.c_str());  // shown when it is wrong
                          return got == c.expected ? 0 : 1;
                      }),
                      0);
        } else {
            EXPECT_EQ(result(c, path), c.expected) << c.verb << " " << c.argument;
        }
        if (dir) {  // reading never writes
            EXPECT_EQ(dir->listing().size(), std::filesystem::exists(path) ? 1u : 0u);
        }
    }
}
const bool settingsCases =
    (test::registerCases("SettingsFile", "tests/settings/settings.txt",
                         test::caseSections("tests/settings/settings.txt",
                                            {"int", "wide", "file", "nofile", "folder", "problem"}),
                         settingsSection),
     true);

// What "Save" writes, the window and start-up read back as it was saved.
TEST(SettingsFile, RandomSavesReadBack) {
    std::mt19937 random(5);
    const auto pick = [&](int first, int last) {
        return first + static_cast<int>(random() % (last - first + 1));
    };
    const auto text = [&](int most) {
        std::string made;
        for (int n = pick(0, most); n > 0; --n) {
            made += " =a/.,Z9"[pick(0, 7)];
        }
        return made;
    };
    for (int round = 0; round < 200; ++round) {
        const auto saved =
            settingsLines({std::to_string(pick(1, 1048576)), std::to_string(pick(1, 409)),
                           std::to_string(pick(1, 409)), pick(0, 2), pick(0, 2), pick(0, 2),
                           pick(0, 2), pick(-1, 2), pick(-1, 2), pick(-1, 3), text(6), text(4),
                           text(6), pick(0, 2), pick(0, 2)});
        TempDir dir;
        const std::string path = dir.file(settingsFileName);
        writeTextLines(path, saved);
        EXPECT_EQ(settingsLines(readWindowSettings(path)), saved);
        Settings fields;
        SetOptions(path, fields);
        EXPECT_EQ(linesOf(fields), saved);
    }
}

}  // namespace
}  // namespace vexlo::settings
