#include "common/textfile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using test::crlf;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Lines = std::vector<std::string>;

struct ReadCase {
    const char* title;
    std::string bytes;
    Lines lines;
};

class ReadTextLines : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTextLines, SplitsAtLineEnds) {
    TempDir dir;
    writeFile(dir.file("f.txt"), GetParam().bytes);
    const TextLines read = readTextLines(dir.file("f.txt"));
    EXPECT_TRUE(read.opened);
    EXPECT_TRUE(read.complete);
    EXPECT_EQ(read.lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadTextLines,
                         ::testing::Values(ReadCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                                           ReadCase{"LfOnly", "a\nb\n", {"a", "b"}},
                                           ReadCase{"Mixed", "a\r\nb\nc", {"a", "b", "c"}},
                                           ReadCase{
                                               "EmptyLinesKept", "\r\n\r\nx\r\n", {"", "", "x"}},
                                           ReadCase{"EmptyFile", "", {}},
                                           ReadCase{"LoneCrStaysInLine", "a\rb\r\n", {"a\rb"}},
                                           ReadCase{"BytesAsTheyAre",
                                                    "\xc2\xb5"
                                                    "F \xce\xa9\r\n",
                                                    {"\xc2\xb5"
                                                     "F \xce\xa9"}}),
                         [](const auto& info) { return std::string(info.param.title); });

TEST(ReadTextLinesGuarded, MissingFileIsNotOpened) {
    TempDir dir;
    const TextLines read = readTextLines(dir.file("absent"));
    EXPECT_FALSE(read.opened);
    EXPECT_TRUE(read.lines.empty());
}

TEST(ReadTextLinesGuarded, FolderCannotBeRead) {
    TempDir dir;
    const TextLines read = readTextLines(dir.path());
    EXPECT_FALSE(read.opened && read.complete);
}

TEST(ReadTextLinesOrThrow, MissingFileNamesThePath) {
    TempDir dir;
    try {
        readTextLinesOrThrow(dir.file("absent.txt"));
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::FileNotFound);
        EXPECT_EQ(error.description,
                  "Cannot open \"" + dir.file("absent.txt") + "\": No such file or directory");
    }
}

TEST(WriteTextLines, WritesCrLfAndReplacesWhole) {
    TempDir dir;
    writeFile(dir.file("f.txt"), "old content that is longer\r\n");
    writeTextLines(dir.file("f.txt"), {"one", "", "three"});
    EXPECT_EQ(readFile(dir.file("f.txt")), crlf({"one", "", "three"}));
    EXPECT_EQ(dir.listing(), Lines{"f.txt"});
}

TEST(WriteTextLines, FailureLeavesOldFileWholeAndNoTemporary) {
    TempDir dir;
    writeFile(dir.file("f.txt"), "keep\r\n");
    // A folder where a file should be: the rename onto it fails.
    writeFile(dir.file("target/inner"), "x");
    EXPECT_THROW(writeTextLines(dir.file("target"), {"new"}), Error);
    EXPECT_EQ(readFile(dir.file("f.txt")), "keep\r\n");
    EXPECT_EQ(dir.listing(), (Lines{"f.txt", "target"}));
}

TEST(WriteTextLines, MissingFolderIsReported) {
    TempDir dir;
    try {
        writeTextLines(dir.file("no/such/f.txt"), {"x"});
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::FileNotFound);
        EXPECT_NE(error.description.find(dir.file("no/such/f.txt")), std::string::npos);
    }
}

TEST(AtomicFile, DroppedWithoutCommitChangesNothing) {
    TempDir dir;
    writeFile(dir.file("f.txt"), "old\r\n");
    {
        AtomicFile file(dir.file("f.txt"));
        file.writeLine("new");
    }
    EXPECT_EQ(readFile(dir.file("f.txt")), "old\r\n");
    EXPECT_EQ(dir.listing(), Lines{"f.txt"});
}

TEST(RemoveFileIfExists, AbsentIsFineFolderIsNot) {
    TempDir dir;
    EXPECT_NO_THROW(removeFileIfExists(dir.file("absent")));
    writeFile(dir.file("sub/x"), "x");
    EXPECT_THROW(removeFileIfExists(dir.file("sub")), Error);
}

TEST(FileExists, FilesOnly) {
    TempDir dir;
    writeFile(dir.file("f"), "");
    EXPECT_TRUE(fileExists(dir.file("f")));
    EXPECT_TRUE(fileExists(dir.path() + "//f"));
    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_FALSE(fileExists(dir.file("g")));
}

}  // namespace
}  // namespace vexlo

namespace vexlo {
namespace {

TEST(WriteTextLines, LinkedFileIsReplacedBehindTheLink) {
    test::TempDir dir;
    test::writeFile(dir.file("shared/data.qzv"), "old\r\n");
    std::filesystem::create_symlink(dir.file("shared/data.qzv"), dir.file("link.qzv"));
    writeTextLines(dir.file("link.qzv"), {"new"});
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.qzv")));
    EXPECT_EQ(test::readFile(dir.file("shared/data.qzv")), "new\r\n");
}

}  // namespace
}  // namespace vexlo
