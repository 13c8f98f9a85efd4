#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "cases.h"
#include "common/characters.h"
#include "common/error.h"
#include "common/textfile.h"
#include "report/run/viewer.h"
#include "testsupport.h"

namespace vexlo {
namespace {

namespace fs = std::filesystem;
using test::errorOf;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Lines = std::vector<std::string>;

TEST(TextFile, LinesAndCharactersAsTheCasesSay) {
    TempDir dir;
    const auto cases =
        test::caseSections("tests/common/textlines.txt", {"lines"}).at(0).second.lines;
    for (const test::CaseLine& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.number));
        if (c.verb != "lines") {  // the characters of a text
            EXPECT_EQ(c.verb == "count"     ? std::to_string(characterCount(c.argument))
                      : c.verb == "lower"   ? lowerAscii(c.argument)
                      : c.verb == "trim"    ? std::string(trimBlanks(c.argument))
                      : c.verb == "without" ? withoutLastCharacters(c.argument, 4).value_or("none")
                                            : "no verb " + c.verb,
                      c.expected);
            continue;
        }
        Lines expected;
        for (std::size_t at = 0, bar = 0; (bar = c.expected.find('|', at)) != std::string::npos;
             at = bar + 1) {
            expected.push_back(c.expected.substr(at, bar - at));
        }
        writeFile(dir.file("f.txt"), c.argument);
        const TextLines read = readTextLines(dir.file("f.txt"));
        EXPECT_TRUE(read.opened && read.complete);
        EXPECT_EQ(read.lines, expected);
        EXPECT_EQ(readTextLinesOrThrow(dir.file("f.txt")), expected);
    }
    EXPECT_EQ(cases.size(), 35U);
}

// Anything but a regular file is refused at once (a FIFO without a writer would block), and a
// file that breaks off while being read is an error, not an end.
TEST(TextFile, WhatCannotBeRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir.file("null"));
    for (const auto& [name, kind] :
         {std::pair{"fifo", "a FIFO"}, std::pair{"null", "a character device"}}) {
        const std::string expected = "Error 75: Cannot read \"" + dir.file(name) + "\": it is " +
                                     kind + ", not a regular file";
        EXPECT_EQ(errorOf([&] { readTextLines(dir.file(name)); }), expected);
        EXPECT_EQ(errorOf([&] { readTextLinesOrThrow(dir.file(name)); }), expected);
    }
    EXPECT_EQ(readTextLines(dir.file("absent")).errorNumber, ENOENT);
    const TextLines broken = readTextLines("/proc/self/mem");  // its first read fails
    EXPECT_TRUE(broken.opened && !broken.complete && broken.errorNumber == EIO);
    EXPECT_EQ(errorOf([] { readTextLinesOrThrow("/proc/self/mem"); }),
              "Error 75: Cannot read \"/proc/self/mem\": Input/output error");
    EXPECT_EQ(dir.listing(), (Lines{"fifo", "null"}));
}

// A write replaces the file behind a link whole, keeping its permissions, or leaves it as it
// was; no temporary file stays behind, and no descriptor open.
TEST(TextFile, WritesReplaceWholeOrNotAtAll) {
    TempDir dir;
    const auto open = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = open();
    const std::string path = dir.file("shared/data.qzv");
    writeFile(path, "old content that is longer\r\n");
    fs::permissions(path, fs::perms(0640));
    fs::create_symlink(path, dir.file("link.qzv"));
    writeTextLines(dir.file("link.qzv"), {"one", "", "three"});
    const mode_t mask = ::umask(0);
    ::umask(mask);
    writeTextLines(dir.file("new.qzv"), {});
    EXPECT_EQ(fs::status(dir.file("new.qzv")).permissions(), fs::perms(0666 & ~mask));
    AtomicFile(path).writeLine("dropped without commit");
    writeFile(dir.file("shared/folder/inner"), "x");
    EXPECT_THROW(writeTextLines(dir.file("no/f.txt"), {"x"}), Error);  // and makes no folder
    // The longest name a folder takes is written too, its temporary cut to fit.
    const std::string longest = dir.file(std::string(255, 'n'));
    writeTextLines(longest, {"long"});
    EXPECT_EQ(readFile(longest), "long\r\n");
    fs::remove(longest);
    EXPECT_EQ(readFile(path), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.qzv")));
    // A link another user made is replaced itself: what it points to stays as it was.
    fs::create_symlink(path, dir.file("planted.qzv"));
    if (::lchown(dir.file("planted.qzv").c_str(), 65534, 65534) == 0) {
        writeTextLines(dir.file("planted.qzv"), {"replaced"});
        EXPECT_FALSE(fs::is_symlink(dir.file("planted.qzv")));
        EXPECT_EQ(readFile(dir.file("planted.qzv")), "replaced\r\n");
        fs::remove(dir.file("planted.qzv"));
        // So is the user's own link in a folder of another user, who could have put it there.
        fs::create_directory(dir.file("theirs"));
        fs::create_symlink(path, dir.file("theirs/mine.qzv"));
        ASSERT_EQ(::chown(dir.file("theirs").c_str(), 65534, 65534), 0);
        writeTextLines(dir.file("theirs/mine.qzv"), {"replaced"});
        EXPECT_FALSE(fs::is_symlink(dir.file("theirs/mine.qzv")));
        fs::remove_all(dir.file("theirs"));
    }
    EXPECT_EQ(dir.listing(), (Lines{"link.qzv", "new.qzv", "shared"}));
    EXPECT_EQ(test::listTree(dir.file("shared")), (Lines{"data.qzv", "folder/", "folder/inner"}));
    EXPECT_TRUE(fileExists(path) && fileExists(dir.path() + "//link.qzv"));
    EXPECT_FALSE(fileExists(dir.file("shared")) || fileExists(dir.file("absent")));
    for (int i = 0; i < 20; ++i) {
        readTextLines(path);
        readTextLines("/proc/self/mem");
        AtomicFile(path).write("dropped");
        EXPECT_THROW(writeTextLines(dir.file("shared/folder"), {}), Error);
    }
    EXPECT_EQ(open(), before);
}

TEST(Common, ErrorMessages) {
    EXPECT_EQ(errorMessage(asError(Error(errc::ToolNotRunning, "gone"))), "Error 429: gone");
    EXPECT_EQ(errorMessage(asError(std::out_of_range("9"))), "Error 51: Internal error: 9");
    EXPECT_EQ(errorMessage(asError(std::bad_alloc())), "Error 7: Out of memory");
}

// The viewer's end as the pipe tells it: a status line (told once, kept), nothing yet, or an end
// with nothing told.
TEST(Viewer, TellsHowXdgOpenEnded) {
    for (const char* told : std::initializer_list<const char*>{"3\n", "", nullptr}) {
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
        if (told != nullptr) {
            ASSERT_EQ(::write(ends[1], told, std::strlen(told)),
                      static_cast<ssize_t>(std::strlen(told)));
            ::close(ends[1]);
        }
        report::ViewerRun run(ends[0]);
        const std::optional<int> expected = told == nullptr ? std::nullopt
                                            : *told == '\0' ? std::optional<int>(255)
                                                            : std::optional<int>(3);
        EXPECT_EQ(run.exitStatus(), expected);
        EXPECT_EQ(run.exitStatus(), expected);
        if (told == nullptr) {
            ::close(ends[1]);
        }
    }
}

}  // namespace
}  // namespace vexlo
