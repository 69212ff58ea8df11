#!/bin/sh
# Builds the Debian package from the build tree under test, checks its files
# and control fields, then runs its launcher against a temporary home.
# Usage: package_test.sh BUILD_DIR
set -u
build=$1
if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIPPED: dpkg-deb is missing, so no package can be built"
  exit 77
fi

tmp=$(mktemp -d)
trap 'chmod -R u+rwX "$tmp"; rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { # expect DESCRIPTION COMMAND...
  what=$1; shift
  "$@" >/dev/null 2>&1 || fail "$what"
}

cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$tmp"/out/kakeibo_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no kakeibo_<version>_amd64.deb"; exit 1; }
case $deb in */kakeibo_1.3_amd64.deb) ;; *) fail "package file name $deb" ;; esac

# Files.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's#^\./#/#' >"$tmp/files"
for f in /usr/bin/kakeibo /usr/lib/kakeibo/zadud /usr/lib/kakeibo/zadud_late.so /usr/lib/kakeibo/Zadud.hlp \
  /usr/share/applications/jp.zadud.Kakeibo.desktop \
  /usr/share/metainfo/jp.zadud.Kakeibo.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/kakeibo.svg \
  /usr/share/icons/hicolor/48x48/apps/kakeibo.png \
  /usr/share/icons/hicolor/128x128/apps/kakeibo.png \
  /usr/share/man/man1/kakeibo.1.gz /usr/share/doc/kakeibo/copyright; do
  grep -qx "$f" "$tmp/files" || fail "package lacks $f"
done

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kakeibo ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.3 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
for dep in libqt6widgets6 libqt6core6 libqt6charts6 libqt6printsupport6 libzip4 qt6-qpa-plugins; do
  field Depends | grep -q "$dep" || fail "Depends lacks $dep (computed from the binary)"
done
for rec in fonts-ipafont-gothic fonts-ipafont-mincho; do
  field Recommends | grep -q "$rec" || fail "Recommends lacks $rec"
done
field Description | grep -q 'household account book' || fail "no English description"
field Description | grep -q '家計簿です' || fail "no Japanese description"

# The installed tree: metadata that desktops read, then the launcher.
root="$tmp/root"
dpkg-deb -x "$deb" "$root"
expect "desktop entry valid" desktop-file-validate "$root/usr/share/applications/jp.zadud.Kakeibo.desktop"
expect "AppStream metadata valid" appstreamcli validate --no-net "$root/usr/share/metainfo/jp.zadud.Kakeibo.metainfo.xml"
grep -qx 'Name=家計簿' "$root/usr/share/applications/jp.zadud.Kakeibo.desktop" || fail "desktop Name"

launcher="$root/usr/bin/kakeibo"
export HOME="$tmp/home"
mkdir -p "$HOME"
unset KAKEIBO_DATA KAKEIBO_PROGRAM
cfg() { iconv -f CP932 -t UTF-8 "$1/ZADUD.CFG"; }

out=$("$launcher" --version 2>"$tmp/err") || fail "launcher --version: $(cat "$tmp/err")"
[ "$out" = "zadud 1.3" ] || fail "launcher ran '$out', not the packaged program"
[ -d "$HOME/kakeibo" ] || fail "~/kakeibo not created"
cfg "$HOME/kakeibo" | grep -q "^ZADUD=$HOME/kakeibo$(printf '\r')\$" || fail "starter ZADUD= line"
cfg "$HOME/kakeibo" | grep -q '^kamo1=食費' || fail "starter item names"
printf 'kamo12=mine\r\n' >>"$HOME/kakeibo/ZADUD.CFG"
before=$(cksum <"$HOME/kakeibo/ZADUD.CFG")
"$launcher" --version >/dev/null 2>&1 || fail "second start"
[ "$(cksum <"$HOME/kakeibo/ZADUD.CFG")" = "$before" ] || fail "an existing ZADUD.CFG was rewritten"
# The archive is written by the parts loaded on first use, from beside the
# packaged program.
"$launcher" --backup "$tmp/book.zip" >/dev/null 2>"$tmp/err" || fail "launcher --backup: $(cat "$tmp/err")"
[ "$(head -c 2 "$tmp/book.zip")" = PK ] || fail "--backup wrote no zip archive"

# A folder named by argument, with a blank and Japanese characters, wins
# over KAKEIBO_DATA; KAKEIBO_DATA wins over ~/kakeibo.
jp="$tmp/家計 データ"
KAKEIBO_DATA="$tmp/env" "$launcher" "$jp" --version >/dev/null 2>&1 || fail "launcher with $jp"
cfg "$jp" | grep -q "^MEMO=$jp" || fail "starter MEMO= line for $jp"
[ ! -e "$tmp/env" ] || fail "KAKEIBO_DATA used although an argument named a folder"
KAKEIBO_DATA="$tmp/env" "$launcher" --version >/dev/null 2>&1 || fail "launcher with KAKEIBO_DATA"
[ -f "$tmp/env/ZADUD.CFG" ] || fail "KAKEIBO_DATA not used"

# A folder that cannot be made: one line on standard error, non-zero exit.
: >"$tmp/plainfile"
if "$launcher" "$tmp/plainfile/data" --version >/dev/null 2>"$tmp/err"; then
  fail "launcher accepted a folder below a file"
fi
[ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "refusal is not one line: $(cat "$tmp/err")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package and launcher: all checks passed"
