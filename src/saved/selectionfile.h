#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexlo::saved {

// The saved-selection file "vexloattributes.qzv": sections of a header line "** " + name, the
// column lines, and a key line "==" + the keys when the selection was saved with Compress
// checked. A line's kind is decided by its first two characters alone.
//
// Several keys share the one key line, separated by TABs ("==Value\tFootprint"). A program that
// knows one key takes the whole text as the key; no column has that name, so its report fails
// with the key named instead of merging by fewer keys. One key is written as it always was.
inline constexpr const char* selectionFileName = "vexloattributes.qzv";

enum class LineKind { Header, Key, Column };

LineKind lineKind(const std::string& line);
// A header line's name: the line without its first three characters ("" when shorter).
std::string sectionName(const std::string& headerLine);
// A key line's text: the line without its first two characters.
std::string keyText(const std::string& keyLine);

// The keys a key line's text stands for, in the selection of these columns: none for an empty
// text; several, split at each TAB, when the text holds a TAB and is not itself one of the
// columns; else the text as one key (so a file with one key reads as it always did).
std::vector<std::string> keysOfText(const std::string& text,
                                    const std::vector<std::string>& columns);

// The key line's text for these keys: the keys joined by TABs.
std::string textOfKeys(const std::vector<std::string>& keys);

// The names of every header line, in file order, repeats included.
std::vector<std::string> selectionNames(const std::vector<std::string>& lines);

// What loading one saved selection puts into the column list, the Compress box and the key.
struct LoadedSelection {
    std::vector<std::string> columns;  // every non-header, non-key line of each section named so
    bool compress = false;             // a key line was met
    std::vector<std::string> keys;     // the last key line's keys (only when compress)
    int sections = 0;                  // how many sections carry the name
};
LoadedSelection loadSelection(const std::vector<std::string>& lines, const std::string& name);

// The file's lines after saving a selection: every line as it was, then the new section.
std::vector<std::string> appendSelection(const std::vector<std::string>& lines,
                                         const std::string& name,
                                         const std::vector<std::string>& columns, bool compress,
                                         const std::vector<std::string>& keys);

// How many sections carry the name (Save refuses the name when this is not 0).
int sectionCount(const std::vector<std::string>& lines, const std::string& name);

// The file's lines after deleting every section named so, with every empty line dropped.
std::vector<std::string> removeSelection(const std::vector<std::string>& lines,
                                         const std::string& name);

// --- The operations on the file itself ---

// How a read takes a file that is missing or cannot be read. A path that is no regular file (a
// FIFO, a device, a folder) throws an Error saying so whatever the reading.
enum class Reading {
    // Guarded: a file that cannot be opened reads as none (nullopt). The names keep those read
    // before a read that breaks off; a selection needs the file read whole.
    Lenient,
    // A missing file reads as one without selections; one that is there but cannot be opened or
    // read whole throws with the reason.
    MissingIsEmpty,
    // A file that is missing or cannot be read whole throws with the reason.
    Strict,
};

// The names of the saved selections, in file order, repeats included.
std::optional<std::vector<std::string>> readSelectionNames(const std::string& path,
                                                           Reading reading = Reading::Lenient);

// The selection of that name as loading puts it into the lists (no columns and sections 0 when
// no section carries the name).
std::optional<LoadedSelection> loadSelectionFromFile(const std::string& path,
                                                     const std::string& name,
                                                     Reading reading = Reading::Lenient);

// Throws Error SelectionNotSavable naming the text when the selection would not read back as
// it is: a line break in the name, a column or a key (when compress) would split its line, a
// column beginning with "**" or "==" would read back as a header or a key, and keys holding a
// TAB would read back as other keys.
void checkSavable(const std::string& name, const std::vector<std::string>& columns, bool compress,
                  const std::vector<std::string>& keys);

// Save Selection's effect on the file. Returns the number of sections already carrying the
// name; when it is not 0 the file is left untouched. A selection that checkSavable refuses
// throws before the file is read. A missing file counts as empty; a file that is there but
// cannot be opened or read whole, or is no regular file, throws and writes nothing. The file is
// replaced atomically; a write that fails (unwritable folder or file, full disk) throws and
// leaves the old file as it was.
int saveSelectionToFile(const std::string& path, const std::string& name,
                        const std::vector<std::string>& columns, bool compress,
                        const std::vector<std::string>& keys);

// What Delete Choice did to the file: the names left, in file order, and how many sections
// carried the name (0: the name was unknown, and only empty lines went).
struct Deletion {
    std::vector<std::string> names;
    int sections = 0;
};

// Delete Choice's effect on the file. nullopt when the file cannot be opened or read whole;
// then nothing is created or changed. Replaced atomically; a failed write throws and leaves the
// old file as it was.
std::optional<Deletion> deleteSelectionFromFile(const std::string& path, const std::string& name);

}  // namespace vexlo::saved
