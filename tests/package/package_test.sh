#!/bin/sh
# Builds the Debian package from the build tree under test, checks its files
# and control fields, runs lintian and appstreamcli on it, compares the man
# page's options with the program's --help, then runs its launcher against a
# temporary home.
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
for f in /usr/bin/kakeibo /usr/libexec/kakeibo/zadud /usr/libexec/kakeibo/zadud_late.so \
  /usr/libexec/kakeibo/Zadud.hlp \
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
# Without a Japanese font every word is a box: a dependency, not a hint.
for font in 'fonts-ipafont-gothic | fonts-japanese-gothic' 'fonts-ipafont-mincho | fonts-japanese-mincho'; do
  field Depends | grep -qF "$font" || fail "Depends lacks $font"
done
field Description | grep -q 'household account book' || fail "no English description"
field Description | grep -q '家計簿です' || fail "no Japanese description"

# The installed tree: metadata that desktops read, then the launcher.
root="$tmp/root"
dpkg-deb -x "$deb" "$root"
expect "desktop entry valid" desktop-file-validate "$root/usr/share/applications/jp.zadud.Kakeibo.desktop"
grep -qx 'Name=家計簿' "$root/usr/share/applications/jp.zadud.Kakeibo.desktop" || fail "desktop Name"
# Docks match the X11 window by its class, the program's name, and a Wayland
# window by the desktop file's name, which the program sets (a UTF-16 literal).
grep -qx 'StartupWMClass=zadud' "$root/usr/share/applications/jp.zadud.Kakeibo.desktop" ||
  fail "desktop StartupWMClass"
strings -e l "$root/usr/libexec/kakeibo/zadud" | grep -qx 'jp.zadud.Kakeibo' ||
  fail "the program does not name its desktop file"
# Nothing remote is named, so the metadata is checked in full, addresses too.
metainfo="$root/usr/share/metainfo/jp.zadud.Kakeibo.metainfo.xml"
if grep -q 'example\.org' "$metainfo" "$root/usr/share/applications/jp.zadud.Kakeibo.desktop"; then
  fail "placeholder example.org address"
fi
appstreamcli validate "$metainfo" >"$tmp/appstream.log" 2>&1 || fail "appstreamcli: $(cat "$tmp/appstream.log")"
! grep -q '^[EW]:' "$tmp/appstream.log" || fail "appstreamcli: $(cat "$tmp/appstream.log")"
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 || fail "lintian: $(cat "$tmp/lintian.log")"
  ! grep -q '^[EW]:' "$tmp/lintian.log" || fail "lintian: $(cat "$tmp/lintian.log")"
else
  fail "lintian is missing (scripts/install-deps.sh installs it)"
fi

# The man page lists every option that --help shows, and no other.
help_options() {
  "$root/usr/libexec/kakeibo/zadud" --help | grep -- '^ *-' |
    sed 's/^ *\(-[a-z], \)\{0,1\}\(--[a-z-]*\).*/\2/' | sort -u
}
man_options() {
  gzip -dc "$root/usr/share/man/man1/kakeibo.1.gz" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' |
    sed -n '/^\.TP/{n;s/\\//g;p}' | grep -o -- '--[a-z-]*' | sort -u
}
help_options >"$tmp/help-options"
man_options >"$tmp/man-options"
[ "$(wc -l <"$tmp/help-options")" -ge 20 ] || fail "--help lists too few options: $(cat "$tmp/help-options")"
diff "$tmp/help-options" "$tmp/man-options" >"$tmp/options.diff" ||
  fail "man page and --help differ (< --help, > man page): $(cat "$tmp/options.diff")"

launcher="$root/usr/bin/kakeibo"
export HOME="$tmp/home"
mkdir -p "$HOME"
unset KAKEIBO_DATA KAKEIBO_PROGRAM
cfg() { iconv -f CP932 -t UTF-8 "$1/ZADUD.CFG"; }

out=$("$launcher" --version 2>"$tmp/err") || fail "launcher --version: $(cat "$tmp/err")"
[ "$out" = "kakeibo 1.3" ] || fail "launcher ran '$out', not the packaged program"
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

# An empty HOME names no folder: one line, and no folder made at the root.
if [ ! -e /kakeibo ]; then
  if HOME= "$launcher" --version >/dev/null 2>"$tmp/err"; then
    fail "launcher started with an empty HOME"
  fi
  [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "empty HOME refusal is not one line: $(cat "$tmp/err")"
  [ ! -e /kakeibo ] || { rm -rf /kakeibo; fail "an empty HOME made /kakeibo"; }
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package and launcher: all checks passed"
