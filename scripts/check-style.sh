#!/usr/bin/env bash
# Fails on a formatting diff, tabs, CR LF or trailing spaces in the sources, and on a widget header
# in the core libraries (they must build and test without a display).
set -u
cd "$(dirname "$0")/.."
status=0
mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build')
mapfile -t texts < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.txt' '*.sh' '*.py' '*.md' '*.json' '.ci/*' | grep -v '^build')

if command -v clang-format >/dev/null; then
    log="$(mktemp)"
    trap 'rm -f "$log"' EXIT
    if ! clang-format --dry-run --Werror "${sources[@]}" 2>"$log"; then
        echo "Formatting differs from .clang-format:"; head -40 "$log"; status=1
    fi
else
    echo "clang-format not installed: formatting not checked"
fi
if grep -nP '\t' "${sources[@]}" "${texts[@]}" | head -5 | grep .; then
    echo "Tabs found (above)"; status=1
fi
if grep -nP '\r$' "${texts[@]}" | head -5 | grep .; then
    echo "CR LF line ends found (above)"; status=1
fi
if grep -nP '[ \t]+$' "${texts[@]}" | head -5 | grep .; then
    echo "Trailing spaces found (above)"; status=1
fi
# CMake files keep CMake's layout. clang-format takes any file it is given for C++ and mangles a
# CMake file ("#The D - Bus client", commands indented as continuation lines): format the C++
# files alone (scripts/format.sh). Here a comment starts "# ", words keep their hyphens and
# colons, and each command starts at its block's indentation (4 spaces a level).
mapfile -t cmake_files < <(git ls-files -co --exclude-standard -- '*CMakeLists.txt' '*.cmake' |
    grep -v '^build')
if [ ${#cmake_files[@]} -gt 0 ] && awk '
    FNR == 1 { depth = 0; blocks = 0 }
    function fail(why) { print FILENAME ":" FNR ": " why ": " $0; bad = 1 }
    {
        line = $0
        sub(/^[ ]*/, "", line)
        indent = length($0) - length(line)
        if (depth == 0 && line != "") {
            word = tolower(line)
            sub(/[ (].*/, "", word)
            if (word ~ /^(end(if|foreach|function|macro|while)|else|elseif)$/) {
                blocks -= word ~ /^end/ ? 1 : 0
                expected = (blocks - (word ~ /^else/ ? 1 : 0)) * 4
            } else {
                expected = blocks * 4
            }
            if (indent != expected) fail("indented " indent " spaces, not " expected)
            if (word ~ /^(if|foreach|function|macro|while)$/) blocks++
        }
        if (line ~ /^#[^ #\[]/ || line ~ /^#.*[A-Za-z] [-:] [a-z]/) fail("a mangled comment")
        code = line
        sub(/^#.*/, "", code)
        sub(/[ ]#[^"]*$/, "", code)
        depth += gsub(/\(/, "(", code) - gsub(/\)/, ")", code)
    }
    END { exit bad }' "${cmake_files[@]}" | head -5 | grep .; then
    echo "CMake files laid out as clang-format leaves them (above): never run it on them"; status=1
fi
# The core: a folder per layer, none of them with Qt, none reaching up into a front end, a window
# or a folder that needs Qt.
core_folders=(src/common src/design src/saved src/settings src/workbook src/report src/operations)
core=$(git ls-files -co --exclude-standard -- "${core_folders[@]}" | grep -E '\.(h|cpp)$')
if [ -n "$core" ] && grep -nE '#include *<Q' $core | head -5 | grep .; then
    echo "Qt headers in the core (above): the core must build without Qt"; status=1
fi
if [ -n "$core" ] &&
    grep -nE '#include *"(main|cli|options|preview|selection|dbus)/' $core | head -5 | grep .; then
    echo "The core includes a front end or a Qt folder (above)"; status=1
fi
# The report's rooms, each built on the ones before it and none on a later one; the report takes
# typed options, never the settings file or the other data files.
report_rooms=(report/table report/options report/compare report/writers report/run)
for i in "${!report_rooms[@]}"; do
    files=$(git ls-files -co --exclude-standard -- "src/${report_rooms[$i]}" | grep -E '\.(h|cpp)$')
    later=$(printf '|%s' "${report_rooms[@]:$((i + 1))}")
    if [ -n "$files" ] &&
        grep -nE "#include *\"(settings|saved|operations${later})/" $files | head -5 | grep .; then
        echo "src/${report_rooms[$i]} includes a later room of the report or a data file (above)"
        status=1
    fi
done
# The design reader (Qt Core inside, none in its headers) is opened by the operations alone.
if [ -n "$core" ] && grep -nE '#include *"designfile/' $core | grep -v '^src/operations/' |
    head -5 | grep .; then
    echo "Only the operations open the design reader (above)"; status=1
fi
# The front ends reach the design, the data files and the reports through the operations only.
front_ends=$(git ls-files -co --exclude-standard -- src/main src/cli | grep -E '\.(h|cpp)$')
if [ -n "$front_ends" ] &&
    grep -nE '#include *"(design|designfile|saved|report|settings)/' $front_ends | head -5 |
    grep .; then
    echo "A front end includes past the operations (above)"; status=1
fi
# The design reader uses Qt Core for JSON only: no widgets, no bus.
readers=$(git ls-files -co --exclude-standard -- src/designfile | grep -E '\.(h|cpp)$')
if [ -n "$readers" ] && grep -nE '#include *<Q' $readers | grep -vE '<Q(ByteArray|String|Json[A-Za-z]*)>' |
    head -5 | grep .; then
    echo "Qt headers beyond Qt Core's JSON in the design reader (above)"; status=1
fi
[ $status -eq 0 ] && echo "style check passed"
exit $status
