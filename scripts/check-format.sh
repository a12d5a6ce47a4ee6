#!/bin/sh
# Checks every C++ file of the project (*.cpp, *.h; build folders and the
# fuzz corpus left out) against .clang-format and lists those clang-format
# would change; ends with status 1 when there is one. With --fix it
# rewrites them instead. Needs clang-format 14 (Debian bookworm's package
# clang-format, which scripts/deps.sh --format installs when missing);
# CLANG_FORMAT names another binary. Other versions lay some code out
# differently, so they may list files that version 14 leaves alone.
# Usage: sh scripts/check-format.sh [--fix]
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
fix=0
if [ "${1:-}" = --fix ]; then
    fix=1
elif [ -n "${1:-}" ]; then
    echo "usage: sh scripts/check-format.sh [--fix]" >&2
    exit 2
fi
format="${CLANG_FORMAT:-clang-format}"
if ! command -v "$format" >/dev/null 2>&1; then
    "$root/scripts/deps.sh" --format
fi
version=$("$format" --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
if [ "$version" != 14 ]; then
    echo "note: $format is version ${version:-unknown}; the style is checked with version 14" >&2
fi
cd "$root"
files=$(find . \( -path './build*' -o -path './.git' -o -path './fuzz/corpus' \) -prune \
    -o -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | LC_ALL=C sort)
changed=""
count=0
for f in $files; do
    if ! "$format" --style=file "$f" | cmp -s - "$f"; then
        changed="$changed $f"
        count=$((count + 1))
    fi
done
total=$(echo "$files" | wc -w)
if [ "$count" -eq 0 ]; then
    echo "format: all $total C++ files follow .clang-format"
    exit 0
fi
if [ "$fix" -eq 1 ]; then
    # shellcheck disable=SC2086
    "$format" --style=file -i $changed
    echo "format: rewrote $count of $total C++ files"
    exit 0
fi
for f in $changed; do
    echo "$f"
done
echo "format: $count of $total C++ files differ from .clang-format;" \
    "sh scripts/check-format.sh --fix rewrites them" >&2
exit 1
