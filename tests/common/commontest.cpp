#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/characters.h"
#include "common/error.h"
#include "common/stringarray.h"
#include "common/textfile.h"
#include "common/viewer.h"
#include "testsupport.h"

namespace vexlo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Lines = std::vector<std::string>;

// C escapes (\r \n \t \xHH) as bytes.
std::string unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (const char c = text[++i]; c == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += c == 'r' ? '\r' : c == 'n' ? '\n' : '\t';
        }
    }
    return bytes;
}

std::string errorOf(const std::function<void()>& call) {
    try {
        call();
        return "no error";
    } catch (const Error& error) {
        return errorMessage(error);
    }
}

std::size_t openDescriptors() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

TEST(TextFile, LinesAsTheTableSays) {
    std::ifstream table(test::sourceDir() + "/tests/common/textlines.txt");
    TempDir dir;
    int cases = 0;
    for (std::string text; std::getline(table, text); ++cases) {
        Lines fields;
        for (std::size_t at = 1, end = 0; text.starts_with("|") && at <= text.size();
             at = end + 1) {
            end = std::min(text.find('|', at), text.size());
            fields.push_back(unescape(text.substr(at, end - at)));
        }
        if (fields.empty()) {
            continue;
        }
        const Lines expected(fields.begin() + 1, fields.end());
        writeFile(dir.file("f.txt"), fields[0]);
        const TextLines read = readTextLines(dir.file("f.txt"));
        EXPECT_TRUE(read.opened && read.complete) << text;
        EXPECT_EQ(read.lines, expected) << text;
        EXPECT_EQ(readTextLinesOrThrow(dir.file("f.txt")), expected) << text;
    }
    EXPECT_EQ(cases, 17);
}

// Anything but a regular file is refused at once (a FIFO without a writer would block), and a
// file that breaks off while being read is an error, not an end.
TEST(TextFile, WhatCannotBeRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir.file("null"));
    fs::create_directory(dir.file("folder"));
    const std::string notRegular = "Error 75: Cannot read \"" + dir.path();
    for (const auto& [name, expected] :
         {std::pair<std::string, std::string>{"fifo", "/fifo\": it is a FIFO, not a regular file"},
          {"null", "/null\": it is a character device, not a regular file"},
          {"folder", "/folder\": it is a folder, not a regular file"}}) {
        EXPECT_EQ(errorOf([&] { readTextLines(dir.file(name)); }), notRegular + expected);
        EXPECT_EQ(errorOf([&] { readTextLinesOrThrow(dir.file(name)); }), notRegular + expected);
    }
    const TextLines absent = readTextLines(dir.file("absent"));
    EXPECT_FALSE(absent.opened || absent.complete || !absent.lines.empty());
    EXPECT_EQ(absent.errorNumber, ENOENT);
    EXPECT_EQ(errorOf([&] { readTextLinesOrThrow(dir.file("absent")); }),
              "Error 53: Cannot open \"" + dir.file("absent") + "\": No such file or directory");
    // A regular file whose first read fails.
    const TextLines broken = readTextLines("/proc/self/mem");
    EXPECT_TRUE(broken.opened);
    EXPECT_FALSE(broken.complete);
    EXPECT_EQ(broken.errorNumber, EIO);
    EXPECT_EQ(errorOf([] { readTextLinesOrThrow("/proc/self/mem"); }),
              "Error 75: Cannot read \"/proc/self/mem\": Input/output error");
    EXPECT_EQ(dir.listing(), (Lines{"fifo", "folder", "null"}));
}

TEST(TextFile, WritesReplaceWholeOrNotAtAll) {
    TempDir dir;
    const std::string path = dir.file("shared/data.qzv");
    writeFile(path, "old content that is longer\r\n");
    ::chmod(path.c_str(), 0640);
    fs::create_symlink(path, dir.file("link.qzv"));
    writeTextLines(dir.file("link.qzv"), {"one", "", "three"});
    EXPECT_EQ(readFile(path), "one\r\n\r\nthree\r\n");
    EXPECT_TRUE(fs::is_symlink(dir.file("link.qzv")));
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    writeTextLines(dir.file("new.qzv"), {});
    EXPECT_EQ(fs::status(dir.file("new.qzv")).permissions(), fs::perms(0666 & ~mask));
    {
        AtomicFile dropped(path);
        dropped.writeLine("never");
    }
    writeFile(dir.file("shared/folder/inner"), "x");
    EXPECT_EQ(errorOf([&] { writeTextLines(dir.file("shared/folder"), {"new"}); }),
              "Error 75: Cannot replace \"" + dir.file("shared/folder") + "\": Is a directory");
    EXPECT_EQ(errorOf([&] { writeTextLines(dir.file("no/f.txt"), {"x"}); }),
              "Error 53: Cannot create \"" + dir.file("no/f.txt") + "\": the folder \"" +
                  dir.file("no") + "\" cannot be written to (No such file or directory)");
    EXPECT_EQ(readFile(path), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(dir.listing(), (Lines{"link.qzv", "new.qzv", "shared"}));
    EXPECT_EQ(test::listTree(dir.file("shared")), (Lines{"data.qzv", "folder/", "folder/inner"}));
    EXPECT_TRUE(fileExists(path) && fileExists(dir.path() + "//link.qzv"));
    EXPECT_FALSE(fileExists(dir.file("shared")) || fileExists(dir.file("absent")));
}

// Reading, writing and failing leave no descriptor open.
TEST(TextFile, EveryDescriptorIsClosed) {
    TempDir dir;
    writeFile(dir.file("f.txt"), "a\r\n");
    fs::create_directory(dir.file("folder"));
    const std::size_t before = openDescriptors();
    for (int i = 0; i < 20; ++i) {
        readTextLines(dir.file("f.txt"));
        readTextLines("/proc/self/mem");
        writeTextLines(dir.file("f.txt"), {"b"});
        AtomicFile(dir.file("f.txt")).write("dropped");
        EXPECT_THROW(writeTextLines(dir.file("folder"), {}), Error);
    }
    EXPECT_EQ(openDescriptors(), before);
}

// UTF-8 sequences count one each; stray bytes (and overlong or out-of-range leads) one each too.
TEST(Characters, CountedAsUtf8) {
    std::vector<std::size_t> counts;
    for (const char* text :
         {"", "abc", "\xc2\xb5H", "\xe2\x82\xac", "\xf0\x9f\x94\x8c",
          "\xdf\xbf\xef\xbf\xbf\xf4\x8f\xbf\xbf", "\xe0\xa0\x80\xf0\x90\x80\x80", "\xb5H",
          "\xe9t\xe9", "\xe2\x82", "\xe2\x82x", "\xc1\x81", "\xf5\x80\x80\x80"}) {
        counts.push_back(characterCount(text));
    }
    EXPECT_EQ(counts, (std::vector<std::size_t>{0, 3, 2, 1, 1, 3, 2, 2, 3, 2, 3, 2, 4}));
    EXPECT_EQ(withoutLastCharacters("/jobs/\xc3\xa4mp/s\xc3\xa9h/", 4), "/jobs/\xc3\xa4mp/");
    EXPECT_EQ(withoutLastCharacters("abcd", 4), "");
    EXPECT_EQ(withoutLastCharacters("\xc3\xa4\xc3\xa4\xc3\xa4", 4), std::nullopt);
    EXPECT_EQ(withoutLastCharacters("abc", 0), "abc");
}

TEST(StringArray, AppendsAfterAnEmptyElementZero) {
    StringArray array;
    for (int i = 1; i <= 40000; ++i) {
        AddDynamicArray(array, std::to_string(i));
    }
    EXPECT_EQ(array.highestIndex(), 40000u);
    EXPECT_EQ(array[0] + array[1] + array[40000] + array.appended()[39999], "14000040000");
    array.reset();
    EXPECT_EQ(array.highestIndex(), 0u);
    AddDynamicArray(array, "y");
    EXPECT_EQ(array.appended(), Lines{"y"});
}

TEST(Error, MessagesOfOwnAndForeignFailures) {
    EXPECT_EQ(errorMessage(asError(Error(429, "gone"))), "Error 429: gone");
    EXPECT_EQ(errorMessage(asError(std::out_of_range("index 9"))),
              "Error 51: Internal error: index 9");
    EXPECT_EQ(errorMessage(asError(std::bad_alloc())), "Error 7: Out of memory");
}

TEST(Viewer, HandsTheFileToXdgOpenFoundOnPath) {
    test::ViewerRecorder viewer;
    EXPECT_TRUE(openForUser("/tmp/a report with 'blanks'.html"));
    EXPECT_EQ(viewer.shown(1), Lines{"/tmp/a report with 'blanks'.html"});
    TempDir empty;
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", ("/nonexistent:" + empty.path()).c_str(), 1);
    EXPECT_FALSE(openForUser("/tmp/x.txt"));
    ::setenv("PATH", path.c_str(), 1);
}

}  // namespace
}  // namespace vexlo
