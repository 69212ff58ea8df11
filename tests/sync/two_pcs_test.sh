#!/bin/bash
# One book on two PCs: two Syncthing instances on the loopback address keep
# two copies of the data folder in step while two "PCs" (each its own working
# folder, ZADUD.CFG and KAKEIBO_PC) change the book through the command line,
# together and apart. After every round the folders converge and both PCs
# must read the same book: each change of either side present once, the
# same-cell clashes listed, nothing lost, nothing counted twice.
# Usage: two_pcs_test.sh ZADUD_BINARY
set -u
zadud=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/sync/syncthing_pair.sh
. "$here/syncthing_pair.sh"
# The harness sets ST_* variables by name (ST_LISTEN_a, ...).
# shellcheck disable=SC2154

work=$(mktemp -d "${TMPDIR:-/tmp}/kakeibo-sync.XXXXXX")
cleanup() {
  st_pair_stop
  # ZADUD_SYNC_KEEP=1 keeps the folders and logs of a failed run to look at.
  if [ "${ZADUD_SYNC_KEEP:-0}" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Each PC: a working folder with its own ZADUD.CFG naming the ledger and diary
# folders inside its own copy of the synced folder, and a home of its own.
for pc in a b; do
  mkdir -p "$work/sync-$pc/ledger" "$work/sync-$pc/diary" "$work/pc-$pc" "$work/home-$pc" "$work/run-$pc"
  chmod 700 "$work/run-$pc"
  printf 'ZADUD=%s\r\nMEMO=%s\r\n' "$work/sync-$pc/ledger" "$work/sync-$pc/diary" >"$work/cfg"
  n=1
  for item in 食費 日用品 光熱費 交通費 給料; do
    printf 'kamo%d=%s\r\n' "$n" "$item" >>"$work/cfg"
    n=$((n + 1))
  done
  iconv -f UTF-8 -t CP932 "$work/cfg" >"$work/pc-$pc/ZADUD.CFG" || st_fail "ZADUD.CFG for pc-$pc"
done
rm -f "$work/cfg"

# pc NAME ARGS...: the program's command line on that PC (its own home and
# runtime folder, as on a machine of its own); standard output is passed on,
# standard error kept in $work/err-NAME for the messages.
pc() {
  local name=$1
  shift
  (cd "$work/pc-$name" && HOME="$work/home-$name" XDG_RUNTIME_DIR="$work/run-$name" KAKEIBO_PC="pc-$name" \
    QT_QPA_PLATFORM=offscreen ZADUD_TODAY=2027-03-01 "$zadud" "$@" 2>"$work/err-$name")
}

# must NAME ARGS...: as pc, but a failed command fails the test.
must() {
  local name=$1
  pc "$@" >"$work/out-$name" || fail "pc-$name: ${*:2} exited $?: $(cat "$work/err-$name")"
  cat "$work/out-$name"
}

has_sync=0
QT_QPA_PLATFORM=offscreen "$zadud" --help 2>/dev/null | grep -q -- '--sync' && has_sync=1
[ "$has_sync" = 1 ] || fail "the program has no --sync: changes are never merged from both PCs' records"

# settle WHAT: the engines converge; each PC then merges what arrived (which
# may write files), and the engines converge again.
settle() {
  st_converge "$1"
  if [ "$has_sync" = 1 ]; then
    merge a
    st_converge "$1 (after pc-a merged)"
    merge b
    st_converge "$1 (after pc-b merged)"
  fi
}

# merge NAME: --sync on that PC, its report in $work/sync-out-NAME; exit 3
# says clashes are still to be settled, which is no failure of the merge.
merge() {
  local rc=0
  pc "$1" --sync >"$work/sync-out-$1" || rc=$?
  case $rc in
    0 | 3) ;;
    *) fail "pc-$1: --sync exited $rc: $(cat "$work/err-$1")" ;;
  esac
  return "$rc"
}

# cell NAME YYYY-MM ITEM DAY: the item's amount on that day as the PC's
# month CSV shows it (income positive, expense negative).
cell() {
  pc "$1" --csv "$2" out.csv >/dev/null || {
    echo "?"
    return
  }
  awk -F, -v item="$3" -v col=$(($4 + 2)) '$1 == item { print $col; exit }' "$work/pc-$1/out.csv"
}

# expect_cell YYYY-MM ITEM DAY AMOUNT: both PCs read AMOUNT there.
expect_cell() {
  local name got
  for name in a b; do
    got=$(cell "$name" "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "pc-$name reads $1-$3 $2 as '$got', not $4"
  done
}

# same_month YYYY-MM: both PCs read the whole month alike.
same_month() {
  pc a --csv "$1" out.csv >/dev/null
  pc b --csv "$1" out.csv >/dev/null
  cmp -s "$work/pc-a/out.csv" "$work/pc-b/out.csv" ||
    fail "pc-a and pc-b read $1 differently: $(diff "$work/pc-a/out.csv" "$work/pc-b/out.csv" | head -n 6)"
}

# expect_found_once WORD: each PC's --find lists one line with WORD.
expect_found_once() {
  local name n
  for name in a b; do
    n=$(pc "$name" --find "$1" | grep -c -F -- "$1")
    [ "$n" = 1 ] || fail "pc-$name finds '$1' on $n lines, not once"
  done
}

expect_not_found() {
  local name n
  for name in a b; do
    n=$(pc "$name" --find "$1" | grep -c -F -- "$1")
    [ "$n" = 0 ] || fail "pc-$name still finds '$1' ($n lines)"
  done
}

# A diary day written as the diary window writes it: CP932, CR LF, named by
# year, month and day without leading zeros (days chosen so no two days
# share the name).
diary() { # diary NAME YEAR MONTH DAY TEXT
  printf '%s\r\n' "$5" | iconv -f UTF-8 -t CP932 >"$work/sync-$1/diary/$2$3$4.nik"
}

expect_diary() { # expect_diary YYYY-MM-DD WORD
  local name
  for name in a b; do
    pc "$name" --search "$2" | grep -q "^$1	" || fail "pc-$name's diary search misses '$2' on $1"
  done
}

# expect_budget YYYY-MM ITEM AMOUNT: the first column after the item in --budget.
expect_budget() {
  local name got
  for name in a b; do
    got=$(pc "$name" --budget "$1" | awk -F'\t' -v item="$2" '$1 == item { print $2; exit }')
    [ "$got" = "$3" ] || fail "pc-$name's budget for $2 in $1 is '$got', not $3"
  done
}

# A step's memo is in some PC's change records, as CP932 bytes.
expect_recorded() {
  local bytes
  bytes=$(printf '%s' "$1" | iconv -f UTF-8 -t CP932)
  find "$work/sync-a/ledger" -type f -iname '*jnl*' ! -name '*sync-conflict*' -print0 | xargs -0 -r grep -l -F -- "$bytes" |
    grep -q . || fail "no change record holds '$1'"
}

# No conflict copy is left where the program reads its files (that none was
# deleted is checked by name in 6).
expect_conflicts_set_aside() {
  local left
  left=$(find "$work/sync-a/ledger" "$work/sync-a/diary" -maxdepth 1 -name '*sync-conflict*' | head -n 3)
  [ -z "$left" ] || fail "conflict copies left in place: $left"
}

st_pair_start "$work" "$work/sync-a" "$work/sync-b"
echo "two Syncthing instances connected (pc-a on $ST_LISTEN_a, pc-b on $ST_LISTEN_b)"

# --- 1. Edits on both sides while apart: other months, items, diary days.
must a --add-line 2026-07-01 給料 300000 七月給料 >/dev/null
must a --add-scheduled --item 給料 --income 250000 --day 25 --from 2026-11 >/dev/null
settle "the first month and the schedule to reach pc-b"
st_offline
must a --add-line 2026-07-03 食費 -1280 スーパーA >/dev/null
must a --set-budget 2026-07 食費 30000 >/dev/null
diary a 2026 7 14 公園で散歩した
must b --add-line 2026-08-05 光熱費 -5000 電気代B >/dev/null
must b --set-budget 2026-08 交通費 8000 >/dev/null
diary b 2026 7 16 映画を見た
st_online
settle "edits made apart (1)"
expect_cell 2026-07 給料 1 300000
expect_cell 2026-07 食費 3 -1280
expect_cell 2026-08 光熱費 5 -5000
same_month 2026-07
same_month 2026-08
expect_found_once スーパーA
expect_found_once 電気代B
expect_diary 2026-07-14 公園
expect_diary 2026-07-16 映画
expect_budget 2026-07 食費 30000
expect_budget 2026-08 交通費 8000
expect_recorded スーパーA
expect_recorded 電気代B


# --- 2. The same month changed on both sides, other cells: both kept. Both
# PCs rewrite one month file while apart, so the engine leaves a conflict
# copy of it (and of the line file) beside the winner.
st_offline
must a --add-line 2026-09-10 食費 -800 パンA >/dev/null
must b --add-line 2026-09-12 日用品 -900 洗剤B >/dev/null
must b --add-line 2026-09-10 交通費 -210 バスB >/dev/null
st_online
st_converge "the same month changed apart (2)"
copies=$(cd "$work/sync-a" && find . -name '*sync-conflict*' | LC_ALL=C sort)
# Each PC's own records have one writer, so the engine never clashes on them.
for c in $copies; do
  case ${c##*/} in *JNL* | *IMP* | *SEQ* | *pc-a* | *pc-b*) fail "a PC's own file was written on both sides: $c" ;; esac
done
settle "the same month changed apart (2)"
expect_cell 2026-09 食費 10 -800
expect_cell 2026-09 日用品 12 -900
expect_cell 2026-09 交通費 10 -210
same_month 2026-09
expect_found_once パンA
expect_found_once 洗剤B
expect_found_once バスB

# --- 3. Lines added to the same cell on both sides: two lines, the cell
# their sum, and no question (a line is a change of its own; a clash of one
# value needs a typed amount: 3b).
st_offline
must a --add-line 2026-10-20 食費 -1000 弁当A >/dev/null
must b --add-line 2026-10-20 食費 -2000 弁当B >/dev/null
st_online
st_converge "the same cell changed apart (3)"
if [ "$has_sync" = 1 ]; then
  rc=0
  pc a --sync >"$work/clash-a" || rc=$?
  [ "$rc" = 0 ] || fail "pc-a's --sync exited $rc for two lines of one cell, not 0: $(cat "$work/clash-a") $(cat "$work/err-a")"
  ! grep -q '同期の確認' "$work/clash-a" || fail "pc-a's --sync asks about two lines of one cell: $(cat "$work/clash-a")"
fi
settle "the same cell changed apart (3)"
expect_cell 2026-10 食費 20 -3000
same_month 2026-10
expect_found_once 弁当A
expect_found_once 弁当B
expect_recorded 弁当A
expect_recorded 弁当B

# --- 3b. One cell typed differently on both sides, and one diary day written
# on both, while apart: after the folders converge, --sync on each PC exits 3
# and lists both (the cell with both values and both PCs), changing nothing
# else. Settled on pc-a (the cell to the sum of both changes, the day to the
# copy's text), pc-b then has no open question and reads the same.
if [ "$has_sync" = 1 ]; then
  st_offline
  must a --set-amount 2026-10-22 日用品 expense 700 >/dev/null
  must b --set-amount 2026-10-22 日用品 expense 400 >/dev/null
  diary a 2026 10 23 雨の日A
  diary b 2026 10 23 晴れの日B
  st_online
  st_converge "one cell and one diary day changed apart (3b)"
  # Each PC sets the copy aside itself: the same move on both sides.
  for name in a b; do
    rc=0
    pc "$name" --sync >"$work/clash-$name" || rc=$?
    [ "$rc" = 3 ] || fail "pc-$name's --sync exited $rc for one cell typed on both, not 3: $(cat "$work/clash-$name") $(cat "$work/err-$name")"
    grep -q '^同期の確認 [0-9]*: 2026/10/22 日用品 支出: pc-a 700 / pc-b 400$' "$work/clash-$name" ||
      fail "pc-$name's --sync does not list 10/22 日用品 with both values and both PCs: $(cat "$work/clash-$name")"
    grep -q '^同期の確認 [0-9]*: 2026/10/23 日記: ' "$work/clash-$name" ||
      fail "pc-$name's --sync does not ask about the diary day's conflict copy: $(cat "$work/clash-$name")"
    n=$(grep -c '^同期の確認 ' "$work/clash-$name")
    [ "$n" = 2 ] || fail "pc-$name's --sync asks $n questions, not 2: $(cat "$work/clash-$name")"
    grep -q '直した値 0 件' "$work/clash-$name" || fail "pc-$name's --sync changed values: $(cat "$work/clash-$name")"
  done
  # Nothing else changed: the month reads alike on both, the other cells too.
  same_month 2026-10
  expect_cell 2026-10 食費 20 -3000
  expect_conflicts_set_aside
  # A cell is listed before a copy, so settling the copy first leaves the
  # cell's number as --sync printed it.
  number() { grep "^同期の確認 [0-9]*: $1" "$work/clash-a" | sed 's/^同期の確認 \([0-9]*\):.*/\1/'; }
  copied=$(grep '^同期の確認 [0-9]*: 2026/10/23 日記' "$work/clash-a" | awk '{ print $NF }')
  must a --settle "$(number '2026/10/23 日記')" second >/dev/null
  must a --settle "$(number '2026/10/22 日用品')" sum >/dev/null
  st_converge "pc-a's settling (3b)"
  for name in b a; do
    rc=0
    pc "$name" --sync >"$work/clash-$name" || rc=$?
    [ "$rc" = 0 ] || fail "pc-$name's --sync exited $rc after pc-a settled, not 0: $(cat "$work/clash-$name")"
  done
  st_converge "both PCs merged after settling (3b)"
  expect_cell 2026-10 日用品 22 -1100
  same_month 2026-10
  # The kept text is the copy's, the same on both PCs.
  for name in a b; do
    pc "$name" --search の日 | grep '^2026-10-23	' >"$work/day-$name"
  done
  if ! grep -q -F -- "${copied:-?}" "$work/day-a" || ! cmp -s "$work/day-a" "$work/day-b"; then
    fail "pc-a and pc-b do not both keep the copy's '$copied' on 2026-10-23: $(cat "$work/day-a") / $(cat "$work/day-b")"
  fi
fi

# --- 4. A scheduled entry due on both PCs, run apart: posted once. Run
# together afterwards, the second PC finds the first one's posting.
st_offline
pc a --post-due --through 2026-11-30 >"$work/due-a" || fail "pc-a --post-due apart: $(cat "$work/err-a")"
pc b --post-due --through 2026-11-30 >"$work/due-b" || fail "pc-b --post-due apart: $(cat "$work/err-b")"
grep -q '2026-11-25' "$work/due-a" || fail "pc-a did not post 2026-11-25: $(cat "$work/due-a")"
st_online
settle "the postings made apart (4)"
expect_cell 2026-11 給料 25 250000
same_month 2026-11
must a --post-due --through 2026-12-31 >"$work/due-a"
grep -q '2026-12-25' "$work/due-a" || fail "pc-a did not post 2026-12-25: $(cat "$work/due-a")"
settle "pc-a's posting (4)"
must b --post-due --through 2026-12-31 >"$work/due-b"
[ ! -s "$work/due-b" ] || fail "pc-b posted again what pc-a posted: $(cat "$work/due-b")"
settle "pc-b's run (4)"
expect_cell 2026-12 給料 25 250000
expect_cell 2026-11 給料 25 250000
same_month 2026-12

# --- 5. A statement imported on pc-a, taken back by --undo on pc-b after the
# sync: gone on both.
printf 'ご利用日,ご利用店名,ご利用金額\r\n2027/01/05,スーパー北口,1500\r\n2027/01/06,薬局南口,700\r\n' |
  iconv -f UTF-8 -t CP932 >"$work/pc-a/card.csv"
must a --import card.csv --default-item 食費 >/dev/null
settle "the import (5)"
expect_cell 2027-01 食費 5 -1500
expect_found_once スーパー北口
if QT_QPA_PLATFORM=offscreen "$zadud" --help 2>/dev/null | grep -q -- '--undo'; then
  must b --undo >/dev/null
  settle "the undo (5)"
  expect_cell 2027-01 食費 5 0
  expect_cell 2027-01 食費 6 0
  expect_not_found スーパー北口
  expect_not_found 薬局南口
  same_month 2027-01
else
  fail "the program has no --undo: an import cannot be taken back from the other PC"
fi

# --- 6. Conflict copies: those the engine made in 2 are merged and set
# aside, not deleted; so is one placed by hand, which holds a change made
# by a third PC whose records never arrived.
[ -n "$copies" ] || fail "the engine left no conflict copy in 2 (the test did not make its fault)"
expect_conflicts_set_aside
for c in $copies; do
  base=${c##*/}
  found=$(find "$work/sync-a" "$work/sync-b" -name "$base" | head -n 1)
  [ -n "$found" ] || fail "conflict copy $c was deleted, not set aside"
done
must a --add-line 2027-02-01 食費 -100 種A >/dev/null
settle "February's first line (6)"
# pc-c starts from the book as it stands, changes February, and only its
# copy of the month file reaches pc-b, named as the engine names a clash.
mkdir -p "$work/pc-c" "$work/sync-c/diary" "$work/home-c" "$work/run-c"
chmod 700 "$work/run-c"
cp -r "$work/sync-a/ledger" "$work/sync-c/"
sed "s#$work/sync-b#$work/sync-c#g" "$work/pc-b/ZADUD.CFG" >"$work/pc-c/ZADUD.CFG"
must c --add-line 2027-02-14 日用品 -640 電球C >/dev/null
cp "$work/sync-c/ledger/20272.txt" "$work/sync-b/ledger/20272.sync-conflict-20270214-101500-PCCCCCC.txt"
settle "the placed conflict copy (6)"
# No record explains pc-c's value, so it is asked about, not taken unasked;
# the month keeps what the records say until the user chooses.
for name in a b; do
  grep -E '2027[/-]0?2[/-]14.*日用品.*640' "$work/sync-out-$name" >/dev/null ||
    fail "pc-$name's --sync does not ask about the copy's 2027-02-14 日用品 640: $(cat "$work/sync-out-$name")"
done
expect_cell 2027-02 日用品 14 0
expect_cell 2027-02 食費 1 -100
same_month 2027-02
expect_conflicts_set_aside
n=$(find "$work/sync-a" -name '20272.sync-conflict-20270214-101500-PCCCCCC.txt' | wc -l)
[ "$n" -ge 1 ] || fail "the placed conflict copy was deleted, not set aside"

# --- 7. The window: pc-b has the book open while pc-a's change arrives. pc-a
# sees that pc-b has it open; pc-b's window takes the change in from disk and
# closing it (as a session's end does) loses nothing; then the note is gone.
(cd "$work/pc-b" && HOME="$work/home-b" XDG_RUNTIME_DIR="$work/run-b" KAKEIBO_PC=pc-b \
  QT_QPA_PLATFORM=offscreen ZADUD_REPORT_FIRST_PAINT=1 exec "$zadud" >"$work/window-b" 2>&1) &
window=$!
window_up() { grep -q first-paint "$work/window-b" || ! kill -0 "$window" 2>/dev/null; }
st_poll "$ST_TIMEOUT" "pc-b's window to show" window_up
kill -0 "$window" 2>/dev/null || fail "pc-b's window ended at start: $(cat "$work/window-b")"
st_converge "pc-b's window open (7)"
[ -e "$work/sync-a/ledger/ZADUD-pc-b.RUN" ] || fail "pc-a cannot tell that pc-b has the book open"
must a --add-line 2026-12-09 食費 -333 窓A >/dev/null
st_converge "pc-a's change reaching the open window (7)"
kill -TERM "$window" 2>/dev/null
window_gone() { ! kill -0 "$window" 2>/dev/null; }
end=$((SECONDS + ST_TIMEOUT))
until window_gone || [ "$SECONDS" -ge "$end" ]; do sleep 0.2; done
closed=0
if window_gone; then
  closed=1
  wait "$window" || fail "pc-b's window ended with $? on SIGTERM: $(cat "$work/window-b")"
else
  # A session's end cannot answer a question box: the save at SIGTERM must
  # not ask whether to replace a month the engine has just delivered.
  fail "pc-b's window did not end within ${ST_TIMEOUT}s of SIGTERM (waiting on a question?)"
  kill -9 "$window" 2>/dev/null
  wait "$window" 2>/dev/null
fi
settle "pc-b's window closed (7)"
expect_cell 2026-12 食費 9 -333
expect_found_once 窓A
same_month 2026-12
[ "$closed" = 0 ] || [ ! -e "$work/sync-a/ledger/ZADUD-pc-b.RUN" ] ||
  fail "pc-b's open note stays after it closed"

echo "$failures failures"
[ "$failures" = 0 ] || exit 1
echo "PASS"
