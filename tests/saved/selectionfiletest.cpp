#include "saved/selectionfile.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

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

std::string lf(const Lines& lines) {
    std::string joined;
    for (const auto& line : lines) {
        joined += line + "\n";
    }
    return joined;
}

Lines slice(const Lines& lines, std::size_t first, std::size_t end) {
    return {lines.begin() + static_cast<std::ptrdiff_t>(first),
            lines.begin() + static_cast<std::ptrdiff_t>(end)};
}

const Lines workedExample = {"** Board",      "REFDES",    "Part Number", "QTY",
                             "==Part Number", "** Cables", "REFDES",      "Value"};

std::string dataFile(const TempDir& dir) {
    return dir.file(selectionFileName);
}

// ---------------------------------------------------------------- line kinds

struct KindCase {
    std::string line;
    LineKind kind;
    std::string text;  // the section name of a header, the key of a key line
};

void PrintTo(const KindCase& c, std::ostream* out) {
    *out << '"' << c.line << '"';
}

class LineKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(LineKinds, DecidedByTheFirstTwoCharacters) {
    const KindCase& c = GetParam();
    EXPECT_EQ(lineKind(c.line), c.kind) << '"' << c.line << '"';
    if (c.kind == LineKind::Header) {
        EXPECT_EQ(sectionName(c.line), c.text) << '"' << c.line << '"';
    }
    if (c.kind == LineKind::Key) {
        EXPECT_EQ(keyText(c.line), c.text) << '"' << c.line << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(
    SelectionFile, LineKinds,
    ::testing::Values(KindCase{"** Board", LineKind::Header, "Board"},
                      KindCase{"**Board", LineKind::Header, "oard"},
                      KindCase{"**  two", LineKind::Header, " two"},
                      KindCase{"** ", LineKind::Header, ""}, KindCase{"**", LineKind::Header, ""},
                      KindCase{"***", LineKind::Header, ""},
                      KindCase{"**==", LineKind::Header, "="},
                      KindCase{"==Part Number", LineKind::Key, "Part Number"},
                      KindCase{"==", LineKind::Key, ""}, KindCase{"==** x", LineKind::Key, "** x"},
                      KindCase{"", LineKind::Column, ""}, KindCase{"*", LineKind::Column, ""},
                      KindCase{"=", LineKind::Column, ""}, KindCase{" ** A", LineKind::Column, ""},
                      KindCase{"*=", LineKind::Column, ""}, KindCase{"QTY", LineKind::Column, ""}));

// ---------------------------------------------------------------- names and loads

struct NamesCase {
    std::string label;
    Lines lines;
    Lines names;
};

void PrintTo(const NamesCase& c, std::ostream* out) {
    *out << c.label;
}

class Names : public ::testing::TestWithParam<NamesCase> {};

TEST_P(Names, EveryHeaderInFileOrder) {
    const NamesCase& c = GetParam();
    EXPECT_EQ(selectionNames(c.lines), c.names);
    for (const auto& bytes : {crlf(c.lines), lf(c.lines)}) {
        TempDir dir;
        writeFile(dataFile(dir), bytes);
        EXPECT_EQ(readSelectionNames(dataFile(dir)), std::optional<Lines>(c.names));
    }
}

INSTANTIATE_TEST_SUITE_P(
    SelectionFile, Names,
    ::testing::Values(
        NamesCase{"WorkedExample", workedExample, {"Board", "Cables"}},
        NamesCase{"RepeatedNameListedTwice", {"** A", "x", "** B", "** A"}, {"A", "B", "A"}},
        NamesCase{"EmptyNames", {"** ", "a", "**", "***", "** x"}, {"", "", "", "x"}},
        NamesCase{"ColumnsAndKeysAreNotNames", {"pre", "==k", "** A", "==B", " ** C"}, {"A"}},
        NamesCase{"EmptyFile", {}, {}}),
    [](const auto& info) { return info.param.label; });

struct LoadCase {
    std::string label;
    Lines lines;
    std::string name;
    Lines columns;
    bool compress;
    std::string key;
};

void PrintTo(const LoadCase& c, std::ostream* out) {
    *out << c.label;
}

class Loads : public ::testing::TestWithParam<LoadCase> {};

void expectLoaded(const LoadedSelection& loaded, const LoadCase& c, const std::string& how) {
    EXPECT_EQ(loaded.columns, c.columns) << how;
    EXPECT_EQ(loaded.compress, c.compress) << how;
    EXPECT_EQ(loaded.key, c.key) << how;
}

TEST_P(Loads, FromLinesAndFromFilesWithEitherLineEnd) {
    const LoadCase& c = GetParam();
    expectLoaded(loadSelection(c.lines, c.name), c, "lines");
    const std::vector<std::pair<std::string, std::string>> files = {{"CR LF", crlf(c.lines)},
                                                                    {"LF", lf(c.lines)}};
    for (const auto& [how, bytes] : files) {
        TempDir dir;
        writeFile(dataFile(dir), bytes);
        const auto loaded = loadSelectionFromFile(dataFile(dir), c.name);
        ASSERT_TRUE(loaded.has_value()) << how;
        expectLoaded(*loaded, c, how);
        EXPECT_EQ(readFile(dataFile(dir)), bytes) << "a load never writes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    SelectionFile, Loads,
    ::testing::Values(
        LoadCase{"WorkedExampleBoard",
                 workedExample,
                 "Board",
                 {"REFDES", "Part Number", "QTY"},
                 true,
                 "Part Number"},
        LoadCase{"WorkedExampleCables", workedExample, "Cables", {"REFDES", "Value"}, false, ""},
        LoadCase{"KeyLineAlone", {"** A", "=="}, "A", {}, true, ""},
        LoadCase{"HeaderAlone", {"** A", "** B", "x"}, "A", {}, false, ""},
        LoadCase{
            "EmptyLinesAreColumns", {"** A", "", "x", "", "** B"}, "A", {"", "x", ""}, false, ""},
        LoadCase{"TrailingEmptyLineIsAColumn", {"** A", "x", ""}, "A", {"x", ""}, false, ""},
        LoadCase{
            "DuplicateColumnsKept", {"** A", "x", "x", "QTY"}, "A", {"x", "x", "QTY"}, false, ""},
        LoadCase{"LastKeyLineWins", {"** A", "==k1", "c", "==k2"}, "A", {"c"}, true, "k2"},
        LoadCase{"TwoSectionsOfOneName",
                 {"** A", "1", "==k", "** B", "2", "** A", "3"},
                 "A",
                 {"1", "3"},
                 true,
                 "k"},
        LoadCase{"NoSuchName", workedExample, "Reels", {}, false, ""},
        LoadCase{"CaseCounts", {"** Board", "x"}, "board", {}, false, ""},
        LoadCase{"TrailingBlankCounts", {"** Board", "x"}, "Board ", {}, false, ""},
        LoadCase{"LeadingBlankCounts", {"** Board", "x"}, " Board", {}, false, ""},
        LoadCase{
            "NameWithoutBlankLosesItsThirdCharacter", {"**Board", "x"}, "oard", {"x"}, false, ""},
        LoadCase{"EmptyNameTakesShortHeaders",
                 {"** ", "a", "** x", "no", "**", "b", "***", "c"},
                 "",
                 {"a", "b", "c"},
                 false,
                 ""},
        LoadCase{"LinesBeforeFirstHeaderNeverLoaded",
                 {"pre", "==k", "", "** A", "a"},
                 "A",
                 {"a"},
                 false,
                 ""},
        LoadCase{
            "LinesBeforeFirstHeaderNotInEmptyName", {"pre", "==k", "** A", "a"}, "", {}, false, ""},
        LoadCase{"EmptyFile", {}, "", {}, false, ""}),
    [](const auto& info) { return info.param.label; });

TEST(SelectionFile, ColumnsLookingLikeHeaderOrKeyAreReadBackAsSuch) {
    TempDir dir;
    ASSERT_EQ(
        saveSelectionToFile(dataFile(dir), "A", {"a", "**x", "b", "==y", "**zB", "c"}, false, ""),
        0);
    EXPECT_EQ(readFile(dataFile(dir)), crlf({"** A", "a", "**x", "b", "==y", "**zB", "c"}));
    EXPECT_EQ(readSelectionNames(dataFile(dir)), std::optional<Lines>({"A", "", "B"}));

    const auto a = loadSelectionFromFile(dataFile(dir), "A");
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->columns, Lines{"a"});
    EXPECT_FALSE(a->compress);

    const auto empty = loadSelectionFromFile(dataFile(dir), "");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->columns, Lines{"b"});
    EXPECT_TRUE(empty->compress);
    EXPECT_EQ(empty->key, "y");
}

// ---------------------------------------------------------------- the worked example, end to end

TEST(SelectionFile, WorkedExampleSavedLoadedAndDeleted) {
    TempDir dir;
    const std::string path = dataFile(dir);
    EXPECT_EQ(
        saveSelectionToFile(path, "Board", {"REFDES", "Part Number", "QTY"}, true, "Part Number"),
        0);
    EXPECT_EQ(saveSelectionToFile(path, "Cables", {"REFDES", "Value"}, false, "Part Number"), 0);
    EXPECT_EQ(readFile(path), crlf(workedExample));
    EXPECT_EQ(readSelectionNames(path), std::optional<Lines>({"Board", "Cables"}));
    EXPECT_EQ(sectionCount(workedExample, "Board"), 1);

    EXPECT_EQ(deleteSelectionFromFile(path, "Board"), std::optional<Lines>({"Cables"}));
    EXPECT_EQ(readFile(path), crlf(slice(workedExample, 5, 8)));
    EXPECT_EQ(dir.listing(), Lines{selectionFileName});
}

// ---------------------------------------------------------------- save

struct SaveCase {
    std::string label;
    std::optional<std::string> before;  // nullopt: no file yet
    std::string name;
    Lines columns;
    bool compress;
    std::string key;
    int existing;  // what the save returns
    std::string after;
};

void PrintTo(const SaveCase& c, std::ostream* out) {
    *out << c.label;
}

class Saves : public ::testing::TestWithParam<SaveCase> {};

TEST_P(Saves, ExactFileBytes) {
    const SaveCase& c = GetParam();
    TempDir dir;
    const std::string path = dataFile(dir);
    if (c.before) {
        writeFile(path, *c.before);
    }
    EXPECT_EQ(saveSelectionToFile(path, c.name, c.columns, c.compress, c.key), c.existing);
    EXPECT_EQ(readFile(path), c.after);
    EXPECT_EQ(dir.listing(), Lines{selectionFileName}) << "no temporary file is left";
}

const std::string boardFile = crlf({"** Board", "x"});
const std::string pairFile = lf({"** A", "x", "** B", "** A", "y"});

INSTANTIATE_TEST_SUITE_P(
    SelectionFile, Saves,
    ::testing::Values(
        SaveCase{"FirstSaveEverWithKey",
                 std::nullopt,
                 "Board",
                 {"REFDES", "Part Number", "QTY"},
                 true,
                 "Part Number",
                 0,
                 crlf(slice(workedExample, 0, 5))},
        SaveCase{"FirstSaveEverWithoutKey",
                 std::nullopt,
                 "Cables",
                 {"REFDES", "Value"},
                 false,
                 "ignored",
                 0,
                 crlf({"** Cables", "REFDES", "Value"})},
        SaveCase{"CompressWithEmptyKey",
                 std::nullopt,
                 "A",
                 {"QTY"},
                 true,
                 "",
                 0,
                 crlf({"** A", "QTY", "=="})},
        SaveCase{"EmptyColumnList", std::nullopt, "A", {}, false, "", 0, crlf({"** A"})},
        SaveCase{"EmptyColumnListWithCompress",
                 std::nullopt,
                 "A",
                 {},
                 true,
                 "k",
                 0,
                 crlf({"** A", "==k"})},
        SaveCase{"BlanksOnlyName", std::nullopt, "  ", {"a"}, false, "", 0, crlf({"**   ", "a"})},
        SaveCase{"EmptyColumnsWritten",
                 std::nullopt,
                 "A",
                 {"", "x", ""},
                 false,
                 "",
                 0,
                 crlf({"** A", "", "x", ""})},
        SaveCase{"EveryEarlierLineKept",
                 crlf({"pre", "", "==k", "** A", "x", "", "==k"}),
                 "B",
                 {"y"},
                 false,
                 "",
                 0,
                 crlf({"pre", "", "==k", "** A", "x", "", "==k", "** B", "y"})},
        SaveCase{"LfFileRewrittenWithCrLf",
                 lf({"** A", "x", ""}),
                 "B",
                 {},
                 false,
                 "",
                 0,
                 crlf({"** A", "x", "", "** B"})},
        SaveCase{"LastLineWithoutLineEnd",
                 std::string("** A\r\nx"),
                 "B",
                 {},
                 false,
                 "",
                 0,
                 crlf({"** A", "x", "** B"})},
        SaveCase{"EmptyFile", std::string(), "A", {"x"}, false, "", 0, crlf({"** A", "x"})},
        SaveCase{"OtherCaseIsANewName",
                 boardFile,
                 "board",
                 {"y"},
                 false,
                 "",
                 0,
                 boardFile + crlf({"** board", "y"})},
        SaveCase{"TrailingBlankIsANewName",
                 boardFile,
                 "Board ",
                 {},
                 false,
                 "",
                 0,
                 boardFile + crlf({"** Board "})},
        SaveCase{"LeadingBlankIsANewName",
                 boardFile,
                 " Board",
                 {},
                 false,
                 "",
                 0,
                 boardFile + crlf({"**  Board"})},
        SaveCase{"ExistingNameRefused", boardFile, "Board", {"y"}, true, "k", 1, boardFile},
        SaveCase{"TwoSectionsOfTheNameRefusedTwice", pairFile, "A", {"z"}, false, "", 2, pairFile},
        SaveCase{"EmptyNameMatchesShortHeaders",
                 crlf({"** ", "**", "***", "** x"}),
                 "",
                 {},
                 false,
                 "",
                 3,
                 crlf({"** ", "**", "***", "** x"})},
        SaveCase{"ColumnLikeLinesAreNotNames",
                 crlf({"pre A", "** B", "A", "==A"}),
                 "A",
                 {},
                 false,
                 "",
                 0,
                 crlf({"pre A", "** B", "A", "==A", "** A"})}),
    [](const auto& info) { return info.param.label; });

// ---------------------------------------------------------------- delete

struct DeleteCase {
    std::string label;
    std::string before;
    std::string name;
    Lines namesLeft;
    std::string after;
};

void PrintTo(const DeleteCase& c, std::ostream* out) {
    *out << c.label;
}

class Deletes : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(Deletes, ExactFileBytes) {
    const DeleteCase& c = GetParam();
    TempDir dir;
    const std::string path = dataFile(dir);
    writeFile(path, c.before);
    EXPECT_EQ(deleteSelectionFromFile(path, c.name), std::optional<Lines>(c.namesLeft));
    EXPECT_EQ(readFile(path), c.after);
    EXPECT_EQ(dir.listing(), Lines{selectionFileName}) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    SelectionFile, Deletes,
    ::testing::Values(
        DeleteCase{"WorkedExampleBoard",
                   crlf(workedExample),
                   "Board",
                   {"Cables"},
                   crlf(slice(workedExample, 5, 8))},
        DeleteCase{"WorkedExampleCablesFromLfFile",
                   lf(workedExample),
                   "Cables",
                   {"Board"},
                   crlf(slice(workedExample, 0, 5))},
        DeleteCase{"BothSectionsOfOneName",
                   crlf({"** A", "1", "==k", "** B", "2", "** A", "3"}),
                   "A",
                   {"B"},
                   crlf({"** B", "2"})},
        DeleteCase{"NoSuchNameDropsOnlyEmptyLines",
                   crlf({"", "pre", "", "** A", "", "x", "==", "", ""}),
                   "Z",
                   {"A"},
                   crlf({"pre", "** A", "x", "=="})},
        DeleteCase{"LinesBeforeFirstHeaderKeptUnlessEmpty",
                   crlf({"pre", "", "==k", "** A", "x"}),
                   "A",
                   {},
                   crlf({"pre", "==k"})},
        DeleteCase{"LastSelectionLeavesAnEmptyFile", crlf({"** A", "x", "==k"}), "A", {}, ""},
        DeleteCase{"EmptyFileStaysEmpty", "", "A", {}, ""},
        DeleteCase{"EmptyNameRemovesShortHeaders",
                   crlf({"** ", "a", "** x", "d", "**", "b", "***", "c"}),
                   "",
                   {"x"},
                   crlf({"** x", "d"})},
        DeleteCase{"OtherCaseIsKept",
                   crlf({"** Board", "x", "** board", "y"}),
                   "board",
                   {"Board"},
                   crlf({"** Board", "x"})},
        DeleteCase{"NamesLeftRepeatInFileOrder",
                   crlf({"** B", "** A", "** C", "** B"}),
                   "A",
                   {"B", "C", "B"},
                   crlf({"** B", "** C", "** B"})}),
    [](const auto& info) { return info.param.label; });

// ---------------------------------------------------------------- files that are not there

TEST(SelectionFile, MissingFileIsNeitherReadNorCreated) {
    TempDir dir;
    const std::string path = dataFile(dir);
    EXPECT_EQ(readSelectionNames(path), std::nullopt);
    EXPECT_FALSE(loadSelectionFromFile(path, "A").has_value());
    EXPECT_EQ(deleteSelectionFromFile(path, "A"), std::nullopt);
    EXPECT_TRUE(dir.listing().empty());
}

TEST(SelectionFile, MissingFolderReportedOnSave) {
    TempDir dir;
    const std::string path = dir.file("gone/" + std::string(selectionFileName));
    try {
        saveSelectionToFile(path, "A", {"x"}, false, "");
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::FileNotFound);
        EXPECT_NE(error.description.find(path), std::string::npos) << error.description;
    }
    EXPECT_TRUE(dir.listing().empty());
}

// ---------------------------------------------------------------- read and write failures

// What an operation ended with, passed as a small number so that it can cross a process
// boundary: an Error naming the file gives its number.
enum Outcome : int {
    Returned = 1,
    ReturnedNothing = 2,
    ErrorNotNamingFile = 3,
    OtherException = 4,
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
    return deleteSelectionFromFile(path, "Board") ? Returned : ReturnedNothing;
}

int loadBoard(const std::string& path) {
    return loadSelectionFromFile(path, "Board") ? Returned : ReturnedNothing;
}

// Root writes through permission bits, so as root the operation runs in a child that has
// become the unprivileged user nobody.
int outcomeAsUnprivileged(const Operation& operation, const std::string& path) {
    if (::geteuid() != 0) {
        return outcomeOf(operation, path);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(CouldNotDropPrivileges);
        }
        ::_exit(outcomeOf(operation, path));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return OtherException;
    }
    return WEXITSTATUS(status);
}

using test::FileSizeLimit;

enum class Setup {
    PathIsFolder,       // opens, but every read fails
    PathLinksToFolder,  // the same through a link, which a careless rewrite would replace
    FolderIsAFile,      // the path's folder is a regular file
    FileSizeLimit,      // every write past 16 bytes fails, like a full disk
    ReadOnlyFolder,     // unprivileged user, folder 0555, file 0666
    ReadOnlyFile,       // unprivileged user, folder 0777, file 0444
    WriteOnlyFile,      // unprivileged user, folder 0777, file 0222: opens for writing only
};

struct FailureCase {
    std::string label;
    Setup setup;
    Operation operation;
    int outcome;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.label;
}

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
        default:
            writeFile(path, oldBytes);
            break;
    }
    const std::string before = snapshot(data);
    const bool unprivileged = c.setup == Setup::ReadOnlyFolder || c.setup == Setup::ReadOnlyFile ||
                              c.setup == Setup::WriteOnlyFile;
    if (c.setup == Setup::ReadOnlyFolder) {
        fs::permissions(path, fs::perms(0666));
        fs::permissions(data, fs::perms(0555));
    } else if (unprivileged) {
        fs::permissions(path, fs::perms(c.setup == Setup::ReadOnlyFile ? 0444 : 0222));
        fs::permissions(data, fs::perms(0777));
    }

    int outcome = 0;
    if (unprivileged) {
        outcome = outcomeAsUnprivileged(c.operation, path);
    } else if (c.setup == Setup::FileSizeLimit) {
        const FileSizeLimit limit(16);
        outcome = outcomeOf(c.operation, path);
    } else {
        outcome = outcomeOf(c.operation, path);
    }
    if (outcome == CouldNotDropPrivileges) {
        GTEST_SKIP() << "cannot switch to an unprivileged user here";
    }
    EXPECT_EQ(outcome, c.outcome);
    if (unprivileged) {
        fs::permissions(data, fs::perms(0755));
        fs::permissions(path, fs::perms(0644));
    }
    EXPECT_EQ(snapshot(data), before) << "files changed, created or left behind";
}

INSTANTIATE_TEST_SUITE_P(
    SelectionFile, Failures,
    ::testing::Values(
        FailureCase{"SavePathIsFolder", Setup::PathIsFolder, saveNew, errc::PathFileAccess},
        FailureCase{"DeletePathIsFolder", Setup::PathIsFolder, deleteBoard, ReturnedNothing},
        FailureCase{"LoadPathIsFolder", Setup::PathIsFolder, loadBoard, ReturnedNothing},
        FailureCase{"SavePathLinksToFolder", Setup::PathLinksToFolder, saveNew,
                    errc::PathFileAccess},
        FailureCase{"DeletePathLinksToFolder", Setup::PathLinksToFolder, deleteBoard,
                    ReturnedNothing},
        FailureCase{"SaveFolderIsAFile", Setup::FolderIsAFile, saveNew, errc::PathNotFound},
        FailureCase{"DeleteFolderIsAFile", Setup::FolderIsAFile, deleteBoard, ReturnedNothing},
        FailureCase{"SaveDiskFull", Setup::FileSizeLimit, saveNew, errc::DiskFull},
        FailureCase{"DeleteDiskFull", Setup::FileSizeLimit, deleteBoard, errc::DiskFull},
        FailureCase{"SaveReadOnlyFolder", Setup::ReadOnlyFolder, saveNew, errc::PermissionDenied},
        FailureCase{"DeleteReadOnlyFolder", Setup::ReadOnlyFolder, deleteBoard,
                    errc::PermissionDenied},
        FailureCase{"SaveReadOnlyFile", Setup::ReadOnlyFile, saveNew, errc::PermissionDenied},
        FailureCase{"DeleteReadOnlyFile", Setup::ReadOnlyFile, deleteBoard, errc::PermissionDenied},
        FailureCase{"SaveWriteOnlyFile", Setup::WriteOnlyFile, saveNew, errc::PermissionDenied},
        FailureCase{"DeleteWriteOnlyFile", Setup::WriteOnlyFile, deleteBoard, ReturnedNothing},
        FailureCase{"LoadWriteOnlyFile", Setup::WriteOnlyFile, loadBoard, ReturnedNothing}),
    [](const auto& info) { return info.param.label; });

TEST(SelectionFile, FolderInPlaceOfTheFileGivesNoNames) {
    TempDir dir;
    fs::create_directory(dataFile(dir));
    EXPECT_EQ(readSelectionNames(dataFile(dir)), std::optional<Lines>(Lines{}));
}

// ---------------------------------------------------------------- long files

TEST(SelectionFile, FortyThousandLinesKeptWhole) {
    Lines lines = {"pre 1", "pre 2", "pre 3", "pre 4", "pre 5"};
    for (int section = 0; section < 7999; ++section) {
        const std::string n = std::to_string(section);
        lines.insert(lines.end(), {"** S" + n, "REFDES", "Value " + n, "QTY", "==Value " + n});
    }
    ASSERT_EQ(lines.size(), 40000u);
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
