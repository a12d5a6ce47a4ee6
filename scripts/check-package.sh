#!/bin/sh
# Builds the Debian package (cpack -G DEB) into a temporary folder, prints its
# control fields and its files, and checks what desktops read from it: the
# desktop entry (desktop-file-validate), the AppStream metadata (appstreamcli
# validate, without network), the icons, and that the packaged program and
# the files it reads lie where it looks for them, and that apt finds every
# dependency. Fails on the first error.
# Usage: sh scripts/check-package.sh [BUILD_FOLDER]   (default: build/)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUILLON_BUILD:-$root/build}}"

# Installs what it needs when missing (as root; otherwise it names them).
"$root/scripts/deps.sh" --package

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target quillon quillon-toolwatch

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  exit 1
}
deb="$(ls "$out"/quillon_*.deb)"
echo "== $(basename "$deb")"
dpkg-deb --field "$deb"
echo "== files"
dpkg-deb --contents "$deb"
dpkg-deb -x "$deb" "$out/root"
cd "$out/root"

fail() {
  echo "check-package.sh: $*" >&2
  exit 1
}

app=org.example.quillon
prog=usr/lib/quillon
for f in "$prog/quillon" "$prog/quillon-toolwatch"; do
  { [ -f "$f" ] && [ -x "$f" ]; } || fail "$f is not an executable file"
done
# The program reads these next to its own executable.
for f in JDK1.3.1TreeSorted.txt GenerateObjectTreeHelp.txt GenerateObjectTree.java; do
  [ -s "$prog/$f" ] || fail "$prog/$f is missing"
done
[ -L usr/bin/quillon ] || fail "usr/bin/quillon is not a link"
[ "$(readlink -f usr/bin/quillon)" = "$(readlink -f "$prog/quillon")" ] ||
  fail "usr/bin/quillon does not lead to $prog/quillon"
# The packaged (stripped) program itself runs and knows its version.
version="$(dpkg-deb --field "$deb" Version)"
[ "$(usr/bin/quillon --version)" = "Quillon $version" ] ||
  fail "usr/bin/quillon --version does not print Quillon $version"

desktop="usr/share/applications/$app.desktop"
echo "== desktop-file-validate $desktop"
report="$(desktop-file-validate "$desktop" 2>&1)" || { echo "$report" >&2; fail "$desktop is not valid"; }
[ -z "$report" ] || echo "$report"
case "$report" in *error:* | *warning:*) fail "$desktop has errors or warnings" ;; esac
grep -qx 'Exec=quillon %f' "$desktop" || fail "$desktop lacks Exec=quillon %f"
grep -qx 'MimeType=text/x-java;' "$desktop" || fail "$desktop lacks MimeType=text/x-java;"
grep -qx 'Icon=quillon' "$desktop" || fail "$desktop lacks Icon=quillon"

metainfo="usr/share/metainfo/$app.metainfo.xml"
echo "== appstreamcli validate --no-net $metainfo"
appstreamcli validate --no-net "$metainfo" || fail "$metainfo is not valid"

icons=usr/share/icons/hicolor
grep -q '<svg' "$icons/scalable/apps/quillon.svg" || fail "the scalable icon is missing"
for size in 48 128; do
  file -b "$icons/${size}x$size/apps/quillon.png" | grep -q "PNG image data, $size x $size," ||
    fail "the ${size} px icon is missing or not $size x $size"
done

depends="$(dpkg-deb --field "$deb" Depends)"
for p in libqt6widgets6 qt6-qpa-plugins default-jdk-headless adwaita-icon-theme hicolor-icon-theme; do
  case ", $depends" in *", $p"*) ;; *) fail "Depends lacks $p" ;; esac
done
# Every dependency can be had from the configured archives: apt plans the
# installation without doing it.
echo "== apt-get install --simulate"
plan="$(apt-get install --simulate --no-install-recommends "$deb" 2>&1)" || {
  echo "$plan" >&2
  fail "apt cannot install $(basename "$deb")"
}
echo "$plan" | grep -E '^(Inst|[0-9]+ upgraded)' || true
echo "check-package.sh: $(basename "$deb") is complete and its files are valid"
