#!/usr/bin/env bash
# Vexlo as `cmake --install` lays it out: installtest.sh CHECK CMAKE BUILD_DIR SOURCE_DIR VERSION
# ROOT. "setup" installs the build into ROOT (as DESTDIR, prefix /usr); every other check reads
# that tree and prints what differs, exiting non-zero when anything does.
set -euo pipefail
check="$1" cmake="$2" build="$3" source="$4" version="$5" root="$6"
usr="$root/usr"
failures=0

fail() { echo "FAIL: $*" >&2 && failures=$((failures + 1)); }

expect_equal() {  # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || { fail "$1" && diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") >&2; } || true
}

setup() { rm -rf "$root" && DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >/dev/null; }

files() {
    expect_equal "installed files (mode, path under /usr)" "$(cat "$source/tests/install/files.txt")" \
        "$(cd "$usr" && find . ! -type d -printf '%m %P\n' | sort -k2)"
    expect_equal "installed outside /usr" "usr" "$(ls -A "$root")"
}

metadata() {
    local desktop="$usr/share/applications/org.vexlo.Vexlo.desktop"
    local metainfo="$usr/share/metainfo/org.vexlo.Vexlo.metainfo.xml" output exec icon
    output="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $output"
    output="$(appstreamcli validate --no-net "$metainfo" 2>&1)" || fail "appstreamcli: $output"
    # The entry starts an installed program with its icon; the version built is the newest.
    exec="$(sed -n 's/^Exec=//p' "$desktop")" icon="$(sed -n 's/^Icon=//p' "$desktop")"
    [ -x "$usr/bin/${exec%% *}" ] || fail "Exec=$exec is no installed program"
    [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not installed"
    expect_equal "the metadata's desktop entry" "org.vexlo.Vexlo.desktop" \
        "$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")"
    expect_equal "the metadata's newest release" "$version" \
        "$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)"
    expect_equal "the changelog's newest entry" "$version" \
        "$(zcat "$usr/share/doc/vexlo/changelog.gz" | sed -n '1s/^vexlo (\([^)]*\)).*/\1/p')"
    # "Open With": the entry takes a file and the KiCad types the metadata names, which the
    # package defines for the MIME database.
    [[ "$exec" == *" %f" ]] || fail "Exec=$exec is given no file"
    local types mime
    types="$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)"
    expect_equal "the metadata's media types" "$types" \
        "$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$metainfo" | sort)"
    mime="$(mktemp -d)" && mkdir "$mime/packages"
    cp "$usr/share/mime/packages/org.vexlo.Vexlo.xml" "$mime/packages/"
    update-mime-database "$mime" >/dev/null 2>&1 || fail "update-mime-database refuses our types"
    expect_equal "the types' file names" \
        "$(printf '%s\n' application/x-kicad-project:*.kicad_pro application/x-kicad-schematic:*.kicad_sch)" \
        "$(grep -h '^application/x-kicad' "$mime/globs" | sort)"
    expect_equal "the entry's types" "$types" "$(grep -h '^application/x-kicad' "$mime/types" | sort)"
    rm -rf "$mime"
}

# The long options a text names, one a line, sorted; a manual page's source before its examples.
long_options() { grep -oE -- '(^|[^[:alnum:]-])--[a-z][a-z-]*' | grep -oE -- '--[a-z][a-z-]*' | sort -u; }
page_before_examples() { zcat "$usr/share/man/man1/$1.1.gz" | sed -e '/^\.SH EXAMPLES/,$d' -e 's/\\-/-/g'; }

manpages() {
    local page warnings
    for page in vexlo vexlo-report schemora-sim; do
        warnings="$(zcat "$usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)" ||
            fail "$page.1 does not render"
        [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
        expect_equal "$page.1's header" ".TH ${page^^} 1 \"\" \"Vexlo $version\" \"User Commands\"" \
            "$(zcat "$usr/share/man/man1/$page.1.gz" | head -n 1 | sed 's/\\-/-/g')"
        # --help answers with success, and it and the manual page name the same options.
        "$usr/bin/$page" --help >/dev/null || fail "$page --help exits with status $?"
        expect_equal "$page: the options of --help (first) and of its manual page" \
            "$("$usr/bin/$page" --help | long_options)" "$(page_before_examples "$page" | long_options)"
    done
    # The report formats come from the program's list of writers: --help names them, and the
    # manual page and the completion must name the same, in the same order.
    local formats
    formats="$("$usr/bin/vexlo-report" --help | sed -n 's/^ *--format FORMAT *\(.*\), in any.*/\1/p' |
        sed 's/,* or /, /; s/, /\n/g')"
    [ -n "$formats" ] || fail "vexlo-report --help names no formats"
    expect_equal "the formats of --help (first) and of vexlo-report.1" "$formats" \
        "$(page_before_examples vexlo-report | sed -n '/^\.BI --format/,/^\.TP/s/^\.B //p')"
    expect_equal "the formats of --help (first) and of the completion" "$formats" \
        "$(bash --norc --noprofile -c 'source "$0" && COMP_WORDS=(vexlo-report --format "")
            COMP_CWORD=2 && _vexlo_report && printf "%s\n" "${COMPREPLY[@]}"' \
            "$usr/share/bash-completion/completions/vexlo-report")"
}

version() {
    local program arguments
    for program in vexlo vexlo-report schemora-sim; do
        for arguments in "--version" "--help --version" "--unknown --version"; do
            # No display and no bus: --version needs neither.
            # shellcheck disable=SC2086
            expect_equal "$program $arguments" "$program $version"$'\n'"status 0" "$(env -u DISPLAY \
                -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
                "$usr/bin/$program" $arguments 2>&1; echo "status $?")"
        done
    done
}

# expect_replies PREFIX [PROGRAM]: for each line of completion.txt starting with PREFIX,
# completing the last word of PROGRAM (vexlo-report unless named) offers the replies and prints
# nothing else.
expect_replies() {
    local line words output program="${2:-vexlo-report}"
    while IFS= read -r line; do
        [[ "$line" == "$1"* && "$line" != \#* ]] || continue
        line="${line#"$1"}"
        eval "words=(${line#* <- })"
        output="$(bash --norc --noprofile -c 'program="${0##*/}"; source "$0"
            COMP_WORDS=("$program" "$@") COMP_CWORD=$# && "_${program//-/_}" &&
            (IFS="|"; echo "${COMPREPLY[*]}")' \
            "$usr/share/bash-completion/completions/$program" "${words[@]}" 2>&1)"
        expect_equal "completion of $program ${words[*]}" "${line%% <- *}" "$output"
    done <"$source/tests/install/completion.txt"
}

completion() {
    local program
    for program in vexlo vexlo-report; do
        expect_equal "the completion script's registration" "complete -F _${program//-/_} $program" \
            "$(bash --norc --noprofile -c 'source "$0" && complete -p "$1"' \
                "$usr/share/bash-completion/completions/$program" "$program" 2>&1)"
    done
    # The saved selections' names come from the running tool: on a bus of its own.
    dbus-run-session -- bash "$0" selections "$cmake" "$build" "$source" "$version" "$root" ||
        fail "completion with and without the tool"
}

selections() {
    export PATH="$usr/bin:$PATH"
    unset QOSP
    expect_replies "none "  # no tool: no names, and no complaint on the terminal
    local work simulator
    work="$(mktemp -d)" && mkfifo "$work/ready"
    # A design file given before --selection: its project's names, read without a tool.
    mkdir "$work/amp" && printf '{"document": {"name": "amp.1", "path": "sch/"}}' >"$work/amp/amp.json"
    printf '** Alpha\nREFDES\n** Beta Two\nValue\n' >"$work/amp/vexloattributes.qzv"
    touch "$work/amp/notes.txt" "$work/amp/amp.kicad_pro"
    (cd "$work/amp" && expect_replies "design " && expect_replies "vexlo " vexlo)
    schemora-sim --root "$work" >"$work/ready" &
    simulator=$!
    if read -r -t 20 _ <"$work/ready"; then
        printf '** Board\nREFDES\n** Power Supply\nValue\n==Value\n** Power 2\nREFDES\n' \
            >"$work/sample-board/vexloattributes.qzv"
        expect_replies "sim "
    else
        fail "schemora-sim did not start"
    fi
    kill "$simulator" && wait "$simulator" 2>/dev/null || true
    rm -rf "$work"
}

"$check"
[ "$failures" -eq 0 ]
