#!/usr/bin/env bash
# Formats the C++ files with .clang-format: those named, or else every changed or new one. Other
# files are left alone: clang-format takes any file for C++, and a CMake file it formats is
# mangled (scripts/check-style.sh fails on that).
#   bash scripts/format.sh [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <({ git diff --name-only HEAD; git ls-files -o --exclude-standard; } | sort -u)
fi
cpp=()
for file in "${files[@]}"; do
    if [[ "$file" =~ \.(cpp|h)$ ]] && [ -f "$file" ]; then
        cpp+=("$file")
    elif [ -n "$file" ] && [ $# -gt 0 ]; then
        echo "not a C++ file, left alone: $file" >&2
    fi
done
[ ${#cpp[@]} -eq 0 ] || clang-format -i "${cpp[@]}"
