#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

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

// C escapes (\r \n \t \\ \xHH) as bytes.
std::string unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (const char c = text[++i]; c == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
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
    const std::regex line(R"(^"(.*)\"((?: \[[^\]]*\])*)$)"), item(R"(\[([^\]]*)\])");
    TempDir dir;
    int cases = 0;
    for (std::string text; std::getline(table, text);) {
        std::smatch parts;
        if (text.starts_with("#") || !std::regex_match(text, parts, line)) {
            continue;
        }
        Lines expected;
        const std::string items = parts[2];
        for (std::sregex_iterator at(items.begin(), items.end(), item), end; at != end; ++at) {
            expected.push_back(unescape((*at)[1]));
        }
        writeFile(dir.file("f.txt"), unescape(parts[1]));
        const TextLines read = readTextLines(dir.file("f.txt"));
        EXPECT_TRUE(read.opened && read.complete) << text;
        EXPECT_EQ(read.lines, expected) << text;
        EXPECT_EQ(readTextLinesOrThrow(dir.file("f.txt")), expected) << text;
        ++cases;
    }
    EXPECT_EQ(cases, 16);
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

// Under a file-size limit a write past it fails as on a full disk, the old file whole; without
// ignoreFileSizeSignal the signal would end the process.
TEST(TextFile, WritePastTheSizeLimitIsADiskFullError) {
    TempDir dir;
    const std::string path = dir.file("report.csv");
    writeFile(path, "old report\r\n");
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        ignoreFileSizeSignal();
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string error = errorOf([&] { writeTextLines(path, Lines(9000, "x")); });
        ::_exit(error == "Error 61: Cannot write \"" + path + "\": File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(path), "old report\r\n");
    EXPECT_EQ(dir.listing(), Lines{"report.csv"});
}

TEST(Characters, CountedAsUtf8WithStrayBytesOneEach) {
    for (const auto& [text, count] : {std::pair<std::string, std::size_t>{"", 0},
                                      {"abc", 3},
                                      {"\xc2\xb5H", 2},
                                      {"\xe2\x82\xac", 1},
                                      {"\xdf\xbf\xef\xbf\xbf\xf4\x8f\xbf\xbf", 3},
                                      {"\xe0\xa0\x80\xf0\x90\x80\x80", 2},
                                      {"\xf0\x9f\x94\x8c", 1},
                                      {"\xb5H", 2},
                                      {"\xe9t\xe9", 3},
                                      {"\xe2\x82", 2},
                                      {"\xe2\x82x", 3},
                                      {"\xc1\x81", 2},
                                      {"\xf5\x80\x80\x80", 4}}) {
        EXPECT_EQ(characterCount(text), count) << text;
    }
    EXPECT_EQ(withoutLastCharacters("/jobs/\xc3\xa4mp/s\xc3\xa9h/", 4), "/jobs/\xc3\xa4mp/");
    EXPECT_EQ(withoutLastCharacters("abcd", 4), "");
    EXPECT_EQ(withoutLastCharacters("abc", 4), std::nullopt);
    EXPECT_EQ(withoutLastCharacters("\xc3\xa4\xc3\xa4\xc3\xa4", 4), std::nullopt);
    EXPECT_EQ(withoutLastCharacters("abc", 0), "abc");
}

TEST(StringArray, ElementZeroStaysEmpty) {
    StringArray array;
    EXPECT_EQ(array.highestIndex(), 0u);
    for (int i = 1; i <= 40000; ++i) {
        AddDynamicArray(array, std::to_string(i));
    }
    EXPECT_EQ(array.highestIndex(), 40000u);
    EXPECT_EQ(array[0], "");
    EXPECT_EQ(array[40000], "40000");
    EXPECT_EQ(array.appended().front(), "1");
    array.reset();
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
