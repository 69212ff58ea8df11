#!/bin/bash
# Scheduled entries and the import log on two PCs, the sync tool played by
# hand (fast, no engine): each PC's own files (ZADUD-<PC>.*) go across; a
# shared file changed on both ends becomes one side's on both, with the
# other's left as a conflict copy.
# Usage: entries_by_hand_test.sh ZADUD_BINARY
set -u
zadud=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/kakeibo-teiki.XXXXXX")
trap '[ "${KEEP:-0}" = 1 ] && echo "kept $work" || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for pc in a b; do
  mkdir -p "$work/sync-$pc/ledger" "$work/sync-$pc/diary" "$work/pc-$pc" "$work/home-$pc"
  printf 'ZADUD=%s\r\nMEMO=%s\r\nkamo1=食費\r\nkamo2=日用品\r\nkamo3=給料\r\n' \
    "$work/sync-$pc/ledger" "$work/sync-$pc/diary" | iconv -f UTF-8 -t CP932 >"$work/pc-$pc/ZADUD.CFG"
done
pc() {
  local name=$1
  shift
  (cd "$work/pc-$name" && HOME="$work/home-$name" KAKEIBO_PC="pc-$name" QT_QPA_PLATFORM=offscreen \
    ZADUD_TODAY=2027-01-31 "$zadud" "$@" 2>>"$work/err-$name")
}
# copy_over WINNER: what a sync tool does to the ledger folders.
copy_over() {
  local win=$1 lose a=$work/sync-a/ledger b=$work/sync-b/ledger f n c src
  [ "$win" = a ] && lose=b || lose=a
  for f in "$a"/* "$b"/*; do
    [ -f "$f" ] || continue
    n=$(basename "$f")
    case $n in
      *.sync-conflict-*) # a copy moved aside on one side is gone on both
        [ -f "$a/$n" ] && [ -f "$b/$n" ] || rm -f "$a/$n" "$b/$n" ;;
      ZADUD-*) # one writer per file: the newer goes across
        if [ "$a/$n" -nt "$b/$n" ]; then cp -p "$a/$n" "$b/$n"; else cp -p "$b/$n" "$a/$n"; fi ;;
      *)
        if [ -f "$work/sync-$win/ledger/$n" ] && [ -f "$work/sync-$lose/ledger/$n" ] &&
          ! cmp -s "$work/sync-$win/ledger/$n" "$work/sync-$lose/ledger/$n"; then
          c="${n%.*}.sync-conflict-20270131-120000-ABCDEFG.${n##*.}"
          cp "$work/sync-$lose/ledger/$n" "$a/$c"
          cp "$work/sync-$lose/ledger/$n" "$b/$c"
        fi
        if [ -f "$work/sync-$win/ledger/$n" ]; then src=$work/sync-$win/ledger/$n; else src=$f; fi
        cp -p "$src" "$a/$n.tmp" && mv "$a/$n.tmp" "$a/$n"
        cp -p "$src" "$b/$n.tmp" && mv "$b/$n.tmp" "$b/$n" ;;
    esac
  done
}
entries() { grep -a '^E,' "$work/sync-$1/ledger/TEIKI.TXT" | iconv -f CP932 -t UTF-8 | sort; }

pc a --add-scheduled --item 給料 --income 300000 --day 25 --from 2027-01 >/dev/null || fail "add on a"
copy_over a
# Apart: each PC adds an entry; the sync tool keeps B's TEIKI.TXT and leaves A's as a copy.
pc a --add-scheduled --item 食費 --expense 5000 --day 10 --from 2027-01 >/dev/null || fail "add 食費 on a"
pc b --add-scheduled --item 日用品 --expense 2000 --day 15 --from 2027-01 >/dev/null || fail "add 日用品 on b"
copy_over b
ls "$work/sync-a/ledger" | grep -q 'TEIKI.sync-conflict' || fail "no conflict copy left"
pc a --sync >"$work/sync-a.out"; copy_over a
pc b --sync >"$work/sync-b.out"; copy_over b
[ "$(entries a | wc -l)" = 3 ] || fail "pc-a has $(entries a | wc -l) entries, not 3: $(entries a)"
[ "$(entries a)" = "$(entries b)" ] || fail "the PCs' entries differ"
[ "$(entries a | cut -d, -f2 | sort -u | wc -l)" = 3 ] || fail "two entries share an id"
ls "$work/sync-a/ledger/同期の競合" | grep -q 'TEIKI' || fail "the copy was not set aside"
ls "$work/sync-a/ledger" | grep -q 'sync-conflict' && fail "a copy is left in the ledger folder"
# Postings: each occurrence once, whichever PC runs first.
pc a --post-due --through 2027-01-31 >"$work/post-a"; copy_over a
pc b --post-due --through 2027-01-31 >"$work/post-b"; copy_over b
[ "$(wc -l <"$work/post-a")" = 3 ] || fail "pc-a posted $(wc -l <"$work/post-a"), not 3"
[ -s "$work/post-b" ] && fail "pc-b posted again: $(cat "$work/post-b")"
# The import log: a statement imported on A is not imported again on B.
printf '日付,摘要,金額\n2027/01/05,パン屋,300\n2027/01/06,パン屋,200\n' >"$work/meisai.csv"
pc a --import "$work/meisai.csv" --default-item 食費 >/dev/null || fail "import on a"
copy_over a
[ -f "$work/sync-b/ledger/ZADUD-pc-a.IMP" ] || fail "no import log of pc-a"
[ -f "$work/sync-b/ledger/ZADUD.IMP" ] && fail "the shared import log was written"
pc b --import "$work/meisai.csv" --default-item 食費 >"$work/import-b"
copy_over b
pc a --csv 2027-01 "$work/jan.csv" >/dev/null
# cell ITEM DAY: the amount on that day of January as pc-a's CSV shows it.
cell() { awk -F, -v item="$1" -v col=$(($2 + 2)) '$1 == item { print $col; exit }' "$work/jan.csv"; }
[ "$(cell 食費 5)" = "-300" ] || fail "2027-01-05 食費 reads '$(cell 食費 5)', not -300 (imported twice?)"
[ "$(cell 食費 10)" = "-5000" ] || fail "2027-01-10 食費 reads '$(cell 食費 10)', not -5000"
[ "$(cell 日用品 15)" = "-2000" ] || fail "2027-01-15 日用品 reads '$(cell 日用品 15)', not -2000"
[ "$(cell 給料 25)" = "300000" ] || fail "2027-01-25 給料 reads '$(cell 給料 25)', not 300000"
[ "$failures" = 0 ] || { cat "$work/sync-a.out" "$work/sync-b.out" "$work"/err-* >&2; echo "failures: $failures"; }
[ "$failures" = 0 ]
