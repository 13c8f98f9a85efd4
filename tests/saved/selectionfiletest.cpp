#include "saved/selectionfile.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <tuple>

#include <gtest/gtest.h>

#include "common/error.h"
#include "testsupport.h"

namespace vexlo::saved {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::crlf;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string joined(const Lines& lines, const std::string& lineEnd) {
    std::string text;
    for (const auto& line : lines) {
        text += line + lineEnd;
    }
    return text;
}

std::string lf(const Lines& lines) {
    return joined(lines, "\n");
}

// The file as other editors may write it: LF, CR alone, or CR LF after a byte-order mark.
std::vector<std::string> readableForms(const Lines& lines) {
    return {crlf(lines), lf(lines), joined(lines, "\r"), "\xEF\xBB\xBF" + crlf(lines)};
}

Lines slice(const Lines& lines, std::size_t first, std::size_t end) {
    return {lines.begin() + static_cast<std::ptrdiff_t>(first),
            lines.begin() + static_cast<std::ptrdiff_t>(end)};
}

const Lines workedExample = {"** Board",      "REFDES",    "Part Number", "QTY",
                             "==Part Number", "** Cables", "REFDES",      "Value"};

// Columns that look like a header or a key line are read back as such.
const Lines lookalikes = {"** A", "a", "**x", "b", "==y", "**zB", "c"};

std::string dataFile(const TempDir& dir) {
    return dir.file(selectionFileName);
}

// ---------------------------------------------------------------- line kinds

TEST(SelectionFile, LineKindDecidedByTheFirstTwoCharacters) {
    // Each line with the section name of a header or the key of a key line.
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"** Board", "Board"}, {"**Board", "oard"}, {"**  two", " two"}, {"** ", ""}, {"**", ""},
        {"***", ""},           {"**==", "="}};
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"==Part Number", "Part Number"}, {"==", ""}, {"==** x", "** x"}};
    for (const auto& [line, name] : headers) {
        EXPECT_EQ(lineKind(line), LineKind::Header) << '"' << line << '"';
        EXPECT_EQ(sectionName(line), name) << '"' << line << '"';
    }
    for (const auto& [line, key] : keys) {
        EXPECT_EQ(lineKind(line), LineKind::Key) << '"' << line << '"';
        EXPECT_EQ(keyText(line), key) << '"' << line << '"';
    }
    for (const std::string line : {"", "*", "=", " ** A", "*=", "QTY"}) {
        EXPECT_EQ(lineKind(line), LineKind::Column) << '"' << line << '"';
    }
}

// ---------------------------------------------------------------- names and loads

TEST(SelectionFile, NamesAreEveryHeaderInFileOrder) {
    const std::vector<std::pair<Lines, Lines>> cases = {
        {workedExample, {"Board", "Cables"}},
        {{"** A", "x", "** B", "** A"}, {"A", "B", "A"}},  // a repeated name is listed twice
        {{"** ", "a", "**", "***", "** x"}, {"", "", "", "x"}},
        {{"pre", "==k", "** A", "==B", " ** C"}, {"A"}},  // columns and keys are not names
        {lookalikes, {"A", "", "B"}},
        {{}, {}}};
    for (const auto& [lines, names] : cases) {
        SCOPED_TRACE(lf(lines));
        EXPECT_EQ(selectionNames(lines), names);
        for (const auto& name : names) {
            EXPECT_EQ(sectionCount(lines, name), std::count(names.begin(), names.end(), name));
        }
        for (const auto& bytes : readableForms(lines)) {
            TempDir dir;
            writeFile(dataFile(dir), bytes);
            EXPECT_EQ(readSelectionNames(dataFile(dir)), std::optional<Lines>(names));
        }
    }
}

struct LoadCase {
    std::string label;
    Lines lines;
    std::string name;
    std::tuple<Lines, bool, std::string> loaded;  // columns, compress, key
};

LoadCase load(std::string label, Lines lines, std::string name, Lines columns,
              bool compress = false, std::string key = "") {
    return {std::move(label), std::move(lines), std::move(name), {columns, compress, key}};
}

std::tuple<Lines, bool, std::string> fieldsOf(const LoadedSelection& loaded) {
    return {loaded.columns, loaded.compress, loaded.key};
}

TEST(SelectionFile, LoadsFromLinesAndFromFilesWithAnyLineEnd) {
    const std::vector<LoadCase> cases = {
        load("WorkedExampleBoard", workedExample, "Board", {"REFDES", "Part Number", "QTY"}, true,
             "Part Number"),
        load("WorkedExampleCables", workedExample, "Cables", {"REFDES", "Value"}),
        load("KeyLineAlone", {"** A", "=="}, "A", {}, true),
        load("HeaderAlone", {"** A", "** B", "x"}, "A", {}),
        load("EmptyLinesAreColumns", {"** A", "", "x", "", "** B"}, "A", {"", "x", ""}),
        load("TrailingEmptyLineIsAColumn", {"** A", "x", ""}, "A", {"x", ""}),
        load("DuplicateColumnsKept", {"** A", "x", "x", "QTY"}, "A", {"x", "x", "QTY"}),
        load("LastKeyLineWins", {"** A", "==k1", "c", "==k2"}, "A", {"c"}, true, "k2"),
        load("TwoSectionsOfOneName", {"** A", "1", "==k", "** B", "2", "** A", "3"}, "A",
             {"1", "3"}, true, "k"),
        load("NoSuchName", workedExample, "Reels", {}),
        load("CaseCounts", {"** Board", "x"}, "board", {}),
        load("TrailingBlankCounts", {"** Board", "x"}, "Board ", {}),
        load("LeadingBlankCounts", {"** Board", "x"}, " Board", {}),
        load("NameWithoutBlankLosesItsThirdCharacter", {"**Board", "x"}, "oard", {"x"}),
        load("EmptyNameTakesShortHeaders", {"** ", "a", "** x", "no", "**", "b", "***", "c"}, "",
             {"a", "b", "c"}),
        load("LinesBeforeFirstHeaderNeverLoaded", {"pre", "==k", "", "** A", "a"}, "A", {"a"}),
        load("LinesBeforeFirstHeaderNotInEmptyName", {"pre", "==k", "** A", "a"}, "", {}),
        load("LookalikesA", lookalikes, "A", {"a"}),
        load("LookalikesEmptyName", lookalikes, "", {"b"}, true, "y"),
        load("EmptyFile", {}, "", {})};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(fieldsOf(loadSelection(c.lines, c.name)), c.loaded);
        for (const auto& bytes : readableForms(c.lines)) {
            TempDir dir;
            writeFile(dataFile(dir), bytes);
            const auto loaded = loadSelectionFromFile(dataFile(dir), c.name);
            ASSERT_TRUE(loaded.has_value());
            EXPECT_EQ(fieldsOf(*loaded), c.loaded);
            EXPECT_EQ(readFile(dataFile(dir)), bytes) << "a load never writes";
        }
    }
}

// ---------------------------------------------------------------- save and delete

struct SaveCase {
    std::string label;
    std::optional<std::string> before;  // nullopt: no file yet
    std::string name;
    Lines columns;
    std::string after;
    int existing;  // what the save returns
    bool compress;
    std::string key;
};

SaveCase save(std::string label, std::optional<std::string> before, std::string name, Lines columns,
              std::string after, int existing = 0, bool compress = false, std::string key = "") {
    return {std::move(label), std::move(before), std::move(name), std::move(columns),
            std::move(after), existing,          compress,        std::move(key)};
}

TEST(SelectionFile, SavesGiveExactFileBytes) {
    const auto none = std::nullopt;
    const std::string board = crlf({"** Board", "x"});
    const std::string pair = lf({"** A", "x", "** B", "** A", "y"});
    const std::string shortHeaders = crlf({"** ", "**", "***", "** x"});
    const std::vector<SaveCase> cases = {
        save("FirstSaveEverWithKey", none, "Board", {"REFDES", "Part Number", "QTY"},
             crlf(slice(workedExample, 0, 5)), 0, true, "Part Number"),
        save("FirstSaveEverWithoutKey", none, "Cables", {"REFDES", "Value"},
             crlf({"** Cables", "REFDES", "Value"}), 0, false, "ignored"),
        save("CompressWithEmptyKey", none, "A", {"QTY"}, crlf({"** A", "QTY", "=="}), 0, true),
        save("EmptyColumnList", none, "A", {}, crlf({"** A"})),
        save("EmptyColumnListWithCompress", none, "A", {}, crlf({"** A", "==k"}), 0, true, "k"),
        save("ColumnsThatOnlyLookAlike", none, "A", {" ** A", "*", "=", "*=", "x**", "x=="},
             crlf({"** A", " ** A", "*", "=", "*=", "x**", "x=="})),
        save("NameLikeAHeaderOrKey", none, "**==", {}, crlf({"** **=="})),
        save("KeyWithLineBreakNotWrittenWithoutCompress", none, "A", {"x"}, crlf({"** A", "x"}), 0,
             false, "a\nb"),
        save("BlanksOnlyName", none, "  ", {"a"}, crlf({"**   ", "a"})),
        save("EmptyColumnsWritten", none, "A", {"", "x", ""}, crlf({"** A", "", "x", ""})),
        save("EveryEarlierLineKept", crlf({"pre", "", "==k", "** A", "x", "", "==k"}), "B", {"y"},
             crlf({"pre", "", "==k", "** A", "x", "", "==k", "** B", "y"})),
        save("LfFileRewrittenWithCrLf", lf({"** A", "x", ""}), "B", {},
             crlf({"** A", "x", "", "** B"})),
        save("LastLineWithoutLineEnd", "** A\r\nx", "B", {}, crlf({"** A", "x", "** B"})),
        save("CrFileRewrittenWithCrLf", "** A\rx\r\r", "B", {}, crlf({"** A", "x", "", "** B"})),
        save("MarkDropped", "\xEF\xBB\xBF** A\r\n", "A", {}, "\xEF\xBB\xBF** A\r\n", 1),
        save("MarkDroppedOnRewrite", "\xEF\xBB\xBF** A\r\n", "B", {}, crlf({"** A", "** B"})),
        save("EmptyFile", "", "A", {"x"}, crlf({"** A", "x"})),
        save("OtherCaseIsANewName", board, "board", {"y"}, board + crlf({"** board", "y"})),
        save("TrailingBlankIsANewName", board, "Board ", {}, board + crlf({"** Board "})),
        save("LeadingBlankIsANewName", board, " Board", {}, board + crlf({"**  Board"})),
        save("ExistingNameRefused", board, "Board", {"y"}, board, 1, true, "k"),
        save("TwoSectionsOfTheNameRefusedTwice", pair, "A", {"z"}, pair, 2),
        save("EmptyNameMatchesShortHeaders", shortHeaders, "", {}, shortHeaders, 3),
        save("ColumnLikeLinesAreNotNames", crlf({"pre A", "** B", "A", "==A"}), "A", {},
             crlf({"pre A", "** B", "A", "==A", "** A"}))};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string path = dataFile(dir);
        if (c.before) {
            writeFile(path, *c.before);
        }
        EXPECT_EQ(saveSelectionToFile(path, c.name, c.columns, c.compress, c.key), c.existing);
        EXPECT_EQ(readFile(path), c.after);
        EXPECT_EQ(dir.listing(), Lines{selectionFileName}) << "no temporary file is left";
    }
}

// A selection that would not read back as it is, is refused with the text named, and the file
// stays as it was (or is not created).
TEST(SelectionFile, SavesThatWouldNotReadBackAreRefused) {
    struct Case {
        std::string name;
        Lines columns;
        bool compress;
        std::string key;
        std::string message;
    };
    const std::string lineBreak = "it holds a line break, which would split its line";
    const auto column = [](const std::string& shown, const std::string& reason) {
        return "The column \"" + shown + "\" cannot be saved in the selection \"New\": " + reason;
    };
    const std::string header = "a line beginning with \"**\" reads back as a selection name";
    const std::string key = "a line beginning with \"==\" reads back as the key";
    const std::vector<Case> cases = {
        {"New", {"REFDES", "** Board"}, false, "", column("** Board", header)},
        {"New", {"**"}, false, "", column("**", header)},
        {"New", {"==Part Number", "QTY"}, true, "QTY", column("==Part Number", key)},
        {"New", {"a\r\n** Board"}, false, "", column("a\\r\\n** Board", lineBreak)},
        {"New", {"Value", "a\nb"}, false, "", column("a\\nb", lineBreak)},
        {"New", {"a\rb"}, false, "", column("a\\rb", lineBreak)},
        {"New\r\n** Board",
         {"x"},
         false,
         "",
         "The selection name \"New\\r\\n** Board\" cannot be saved: " + lineBreak},
        {"Board\n", {}, false, "", "The selection name \"Board\\n\" cannot be saved: " + lineBreak},
        {"New",
         {"x"},
         true,
         "k\r",
         "The key \"k\\r\" cannot be saved in the selection \"New\": " + lineBreak}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        for (const bool fileThere : {true, false}) {
            TempDir dir;
            const std::string path = dataFile(dir);
            if (fileThere) {
                writeFile(path, crlf(workedExample));
            }
            try {
                saveSelectionToFile(path, c.name, c.columns, c.compress, c.key);
                ADD_FAILURE() << "saved";
            } catch (const Error& error) {
                EXPECT_EQ(error.number, errc::SelectionNotSavable);
                EXPECT_EQ(error.description, c.message);
            }
            EXPECT_EQ(dir.listing(), fileThere ? Lines{selectionFileName} : Lines{});
            if (fileThere) {
                EXPECT_EQ(readFile(path), crlf(workedExample));
            }
        }
    }
}

TEST(SelectionFile, DeletesGiveExactFileBytes) {
    struct Case {
        std::string before;
        std::string name;
        Lines namesLeft;
        std::string after;
    };
    const std::vector<Case> cases = {
        {crlf(workedExample), "Board", {"Cables"}, crlf(slice(workedExample, 5, 8))},
        {lf(workedExample), "Cables", {"Board"}, crlf(slice(workedExample, 0, 5))},
        // both sections of one name
        {crlf({"** A", "1", "==k", "** B", "2", "** A", "3"}), "A", {"B"}, crlf({"** B", "2"})},
        // no such name: only empty lines are dropped
        {crlf({"", "pre", "", "** A", "", "x", "==", "", ""}),
         "Z",
         {"A"},
         crlf({"pre", "** A", "x", "=="})},
        // lines before the first header are kept unless empty
        {crlf({"pre", "", "==k", "** A", "x"}), "A", {}, crlf({"pre", "==k"})},
        {crlf({"** A", "x", "==k"}), "A", {}, ""},  // the last selection leaves an empty file
        {"", "A", {}, ""},
        // the empty name removes short headers
        {crlf({"** ", "a", "** x", "d", "**", "b", "***", "c"}), "", {"x"}, crlf({"** x", "d"})},
        {crlf({"** Board", "x", "** board", "y"}), "board", {"Board"}, crlf({"** Board", "x"})},
        {crlf({"** B", "** A", "** C", "** B"}),
         "A",
         {"B", "C", "B"},
         crlf({"** B", "** C", "** B"})}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " without " + c.name);
        TempDir dir;
        const std::string path = dataFile(dir);
        writeFile(path, c.before);
        EXPECT_EQ(deleteSelectionFromFile(path, c.name), std::optional<Lines>(c.namesLeft));
        EXPECT_EQ(readFile(path), c.after);
        EXPECT_EQ(dir.listing(), Lines{selectionFileName}) << "no temporary file is left";
    }
}

// ---------------------------------------------------------------- files that are not there

TEST(SelectionFile, MissingFileIsNeitherReadNorCreated) {
    TempDir dir;
    const std::string path = dataFile(dir);
    EXPECT_EQ(readSelectionNames(path), std::nullopt);
    EXPECT_FALSE(loadSelectionFromFile(path, "A").has_value());
    EXPECT_EQ(deleteSelectionFromFile(path, "A"), std::nullopt);
    EXPECT_TRUE(dir.listing().empty());
}

// ---------------------------------------------------------------- read and write failures

// What an operation ended with, passed as a small number so that it can cross a process
// boundary: an Error naming the file gives its number.
enum Outcome : int {
    Returned = 1,
    Nothing = 2,
    ErrorNotNamingFile = 3,
    OtherException = 4,
    Blocked = 5,
    CouldNotDropPrivileges = 99,
};

using Operation = std::function<int(const std::string& path)>;

int outcomeOf(const Operation& operation, const std::string& path) {
    try {
        return operation(path);
    } catch (const Error& error) {
        return error.description.find(path) != std::string::npos ? error.number
                                                                 : ErrorNotNamingFile;
    } catch (...) {
        return OtherException;
    }
}

int saveNew(const std::string& path) {
    saveSelectionToFile(path, "New", {"REFDES", "Value", "Voltage", "Tolerance"}, true, "Value");
    return Returned;
}

int deleteBoard(const std::string& path) {
    return deleteSelectionFromFile(path, "Board") ? Returned : Nothing;
}

int loadBoard(const std::string& path) {
    return loadSelectionFromFile(path, "Board") ? Returned : Nothing;
}

int listNames(const std::string& path) {
    return readSelectionNames(path) ? Returned : Nothing;
}

// The operation runs in a child process, so that one that waits forever (on a FIFO) is stopped
// and reported as Blocked. Root writes through permission bits, so for an unprivileged run the
// child first becomes the user nobody.
int outcomeInChild(const Operation& operation, const std::string& path, bool unprivileged) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10);
        if (unprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(CouldNotDropPrivileges);
        }
        ::_exit(outcomeOf(operation, path));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return OtherException;
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        return Blocked;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : OtherException;
}

enum class Setup {
    PathIsFolder,       // opens, but every read fails
    PathLinksToFolder,  // the same through a link, which a careless rewrite would replace
    FolderIsAFile,      // the path's folder is a regular file
    MissingFolder,      // the path's folder is not there
    FileSizeLimit,      // every write past 16 bytes fails, like a full disk
    ReadOnlyFolder,     // unprivileged user, folder 0555, file 0666
    ReadOnlyFile,       // unprivileged user, folder 0777, file 0444
    WriteOnlyFile,      // unprivileged user, folder 0777, file 0222: opens for writing only
    PathIsFifo,         // would wait for a writer
    PathLinksToDevice,  // /dev/null, a character device
};

struct FailureCase {
    std::string label;
    Setup setup;
    int save, remove, load, names;  // what each operation ends with; 0: not tried
};

class Failures : public ::testing::TestWithParam<FailureCase> {};

std::string snapshot(const fs::path& folder) {
    std::string seen;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        seen += entry.path().string() + (entry.is_symlink() ? " -> " : "") + "\n";
        if (entry.is_symlink()) {
            seen += fs::read_symlink(entry.path()).string() + "\n";
        } else if (entry.is_regular_file()) {
            seen += readFile(entry.path().string()) + "\n";
        }
    }
    return seen;
}

TEST_P(Failures, NothingLost) {
    const FailureCase& c = GetParam();
    const bool unprivileged = c.setup == Setup::ReadOnlyFolder || c.setup == Setup::ReadOnlyFile ||
                              c.setup == Setup::WriteOnlyFile;
    const std::vector<std::tuple<const char*, Operation, int>> operations = {
        {"save", saveNew, c.save},
        {"delete", deleteBoard, c.remove},
        {"load", loadBoard, c.load},
        {"names", listNames, c.names}};
    for (const auto& [what, operation, expected] : operations) {
        if (expected == 0) {
            continue;
        }
        SCOPED_TRACE(what);
        TempDir dir;
        fs::permissions(dir.path(), fs::perms(0755));
        const fs::path data = fs::path(dir.path()) / "data";
        fs::create_directories(data);
        std::string path = (data / selectionFileName).string();
        const std::string oldBytes = crlf({"pre", "** Board", "REFDES", "Part Number", "QTY",
                                           "==Part Number", "** Cables", "REFDES", "Value"});
        switch (c.setup) {
            case Setup::PathIsFolder:
                writeFile(path + "/inside", oldBytes);
                break;
            case Setup::PathLinksToFolder:
                writeFile((data / "real" / "inside").string(), oldBytes);
                fs::create_directory_symlink("real", path);
                break;
            case Setup::FolderIsAFile:
                writeFile((data / "blocker").string(), oldBytes);
                path = (data / "blocker" / selectionFileName).string();
                break;
            case Setup::MissingFolder:
                path = (data / "gone" / selectionFileName).string();
                break;
            case Setup::PathIsFifo:
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                break;
            case Setup::PathLinksToDevice:
                fs::create_symlink("/dev/null", path);
                break;
            default:
                writeFile(path, oldBytes);
                break;
        }
        const std::string before = snapshot(data);
        if (c.setup == Setup::ReadOnlyFolder) {
            fs::permissions(path, fs::perms(0666));
            fs::permissions(data, fs::perms(0555));
        } else if (unprivileged) {
            fs::permissions(path, fs::perms(c.setup == Setup::ReadOnlyFile ? 0444 : 0222));
            fs::permissions(data, fs::perms(0777));
        }
        int outcome = 0;
        {
            std::optional<test::FileSizeLimit> limit;
            if (c.setup == Setup::FileSizeLimit) {
                limit.emplace(16);
            }
            outcome = outcomeInChild(operation, path, unprivileged);
        }
        if (outcome == CouldNotDropPrivileges) {
            GTEST_SKIP() << "cannot switch to an unprivileged user here";
        }
        EXPECT_EQ(outcome, expected);
        if (unprivileged) {
            fs::permissions(data, fs::perms(0755));
            fs::permissions(path, fs::perms(0644));
        }
        EXPECT_EQ(snapshot(data), before) << "files changed, created or left behind";
    }
}

using S = Setup;
const int notRegular = errc::PathFileAccess;
const std::vector<FailureCase> failures = {
    {"PathIsFolder", S::PathIsFolder, notRegular, notRegular, notRegular, notRegular},
    {"PathLinksToFolder", S::PathLinksToFolder, notRegular, notRegular, 0, notRegular},
    {"PathIsFifo", S::PathIsFifo, notRegular, notRegular, notRegular, notRegular},
    {"PathLinksToDevice", S::PathLinksToDevice, notRegular, notRegular, notRegular, notRegular},
    {"FolderIsAFile", S::FolderIsAFile, errc::PathNotFound, Nothing, 0, Nothing},
    {"MissingFolder", S::MissingFolder, errc::FileNotFound, Nothing, Nothing, Nothing},
    {"DiskFull", S::FileSizeLimit, errc::DiskFull, errc::DiskFull, 0, 0},
    {"ReadOnlyFolder", S::ReadOnlyFolder, errc::PermissionDenied, errc::PermissionDenied, 0,
     Returned},
    {"ReadOnlyFile", S::ReadOnlyFile, errc::PermissionDenied, errc::PermissionDenied, 0, Returned},
    {"WriteOnlyFile", S::WriteOnlyFile, errc::PermissionDenied, Nothing, Nothing, Nothing}};

INSTANTIATE_TEST_SUITE_P(SelectionFile, Failures, ::testing::ValuesIn(failures),
                         [](const auto& info) { return info.param.label; });

// ---------------------------------------------------------------- long files

TEST(SelectionFile, FortyThousandLinesKeptWhole) {
    Lines lines = {"pre 1", "pre 2", "pre 3", "pre 4", "pre 5"};
    for (int section = 0; section < 7999; ++section) {
        const std::string n = std::to_string(section);
        lines.insert(lines.end(), {"** S" + n, "REFDES", "Value " + n, "QTY", "==Value " + n});
    }
    TempDir dir;
    const std::string path = dataFile(dir);
    const std::string original = crlf(lines);
    writeFile(path, original);

    const auto names = readSelectionNames(path);
    ASSERT_TRUE(names.has_value());
    ASSERT_EQ(names->size(), 7999u);
    EXPECT_EQ(names->back(), "S7998");

    const auto last = loadSelectionFromFile(path, "S7998");
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->columns, (Lines{"REFDES", "Value 7998", "QTY"}));
    EXPECT_EQ(last->key, "Value 7998");

    EXPECT_EQ(saveSelectionToFile(path, "New", {"REFDES"}, false, ""), 0);
    EXPECT_EQ(readFile(path), original + crlf({"** New", "REFDES"}));

    EXPECT_EQ(deleteSelectionFromFile(path, "S0").value().size(), 7999u);
    Lines kept = slice(lines, 0, 5);
    const Lines rest = slice(lines, 10, lines.size());
    kept.insert(kept.end(), rest.begin(), rest.end());
    kept.insert(kept.end(), {"** New", "REFDES"});
    EXPECT_EQ(readFile(path), crlf(kept));
}

}  // namespace
}  // namespace vexlo::saved
