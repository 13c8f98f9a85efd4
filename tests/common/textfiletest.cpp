#include "common/textfile.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>

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

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadTextLines,
    ::testing::Values(ReadCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                      ReadCase{"LfOnly", "a\nb\n", {"a", "b"}},
                      ReadCase{"Mixed", "a\r\nb\nc", {"a", "b", "c"}},
                      ReadCase{"EmptyLinesKept", "\r\n\r\nx\r\n", {"", "", "x"}},
                      ReadCase{"EmptyFile", "", {}},
                      ReadCase{"LoneCrEndsALine", "a\rb\r\n", {"a", "b"}},
                      ReadCase{"CrOnly", "a\rb\rc", {"a", "b", "c"}},
                      ReadCase{"CrBeforeCrLf", "a\r\r\nb", {"a", "", "b"}},
                      ReadCase{"LfCr", "a\n\rb", {"a", "", "b"}},
                      ReadCase{"MarkSkipped", "\xEF\xBB\xBF** A\r\nx", {"** A", "x"}},
                      ReadCase{"MarkAlone", "\xEF\xBB\xBF", {}},
                      ReadCase{"MarksOnlyAtTheStart",
                               "\xEF\xBB\xBF\xEF\xBB\xBF** A\n\xEF\xBB\xBF",
                               {"** A", "\xEF\xBB\xBF"}},
                      ReadCase{"PartOfAMarkKept", "\xEF\xBBx", {"\xEF\xBBx"}},
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

// What a call ended with, run in a child process so that a call that blocks (reading a FIFO
// without a writer) ends the test instead of hanging it: "returned", "Error N: description",
// or "blocked".
std::string outcomeWithin(const std::function<void()>& call) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string outcome = "returned";
        try {
            call();
        } catch (const Error& error) {
            outcome = errorMessage(error);
        }
        [[maybe_unused]] const ssize_t written =
            ::write(channel[1], outcome.data(), outcome.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    pollfd answer{channel[0], POLLIN, 0};
    std::string outcome;
    if (::poll(&answer, 1, 10000) <= 0) {
        ::kill(child, SIGKILL);
        outcome = "blocked";
    } else {
        char buffer[4096];
        for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
            outcome.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return outcome;
}

// A FIFO, a device or a folder in place of a file is refused at once, by every reader.
TEST(RegularFilesOnly, OtherFilesRefusedWithoutWaiting) {
    TempDir dir;
    writeFile(dir.file("file.txt"), "a\r\n");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir.file("null"));
    std::filesystem::create_directory(dir.file("folder"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"file.txt", "returned"},
        {"fifo",
         "Error 75: Cannot read \"" + dir.file("fifo") + "\": it is a FIFO, not a regular file"},
        {"null", "Error 75: Cannot read \"" + dir.file("null") +
                     "\": it is a character device, not a regular file"},
        {"folder", "Error 75: Cannot read \"" + dir.file("folder") +
                       "\": it is a folder, not a regular file"},
        {"absent",
         "Error 53: Cannot open \"" + dir.file("absent") + "\": No such file or directory"}};
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        EXPECT_EQ(outcomeWithin([&] { requireRegularFile(path); }), expected);
        EXPECT_EQ(outcomeWithin([&] { readTextLinesOrThrow(path); }), expected);
        // The guarded reader counts only a missing or unreadable file as not opened.
        const std::string guarded = name == "absent" ? "returned" : expected;
        EXPECT_EQ(outcomeWithin([&] { readTextLines(path); }), guarded);
    }
    EXPECT_EQ(readTextLines(dir.file("absent")).errorNumber, ENOENT);
    EXPECT_EQ(dir.listing(), (Lines{"fifo", "file.txt", "folder", "null"}));
}

TEST(RegularFilesOnly, OpenedFileReadsFromItsStart) {
    TempDir dir;
    writeFile(dir.file("f"), "content");
    const FileDescriptor file = openRegularFile(dir.file("f"));
    char buffer[16] = {};
    EXPECT_EQ(::read(file.get(), buffer, sizeof buffer), 7);
    EXPECT_EQ(std::string(buffer), "content");
}

// Under a file-size limit a write past it fails as on a full disk: the old file stays whole and
// no temporary file is left. Without ignoreFileSizeSignal the signal would end the process.
TEST(IgnoreFileSizeSignal, WritePastTheLimitIsADiskFullError) {
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
        try {
            AtomicFile file(path);
            file.write(std::string(65536, 'x'));
            file.commit();
        } catch (const Error& error) {
            const bool expected =
                error.description == "Cannot write \"" + path + "\": File too large";
            ::_exit(expected ? error.number : 1);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), errc::DiskFull);
    EXPECT_EQ(readFile(path), "old report\r\n");
    EXPECT_EQ(dir.listing(), Lines{"report.csv"});
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
