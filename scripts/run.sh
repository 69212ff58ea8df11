#!/bin/sh
# Starts the program with the data folder as its working directory: the
# program reads ZADUD.CFG from there and keeps its files there by default.
# A newcomer's first start gets a starter ZADUD.CFG with everyday items; an
# existing one is never touched.
set -eu
exe=$(realpath "$1")
data=$2
mkdir -p "$data"
data=$(realpath "$data")
cd "$data"
if [ ! -e ZADUD.CFG ]; then
  {
    printf 'ZADUD=%s\r\n' "$data"
    printf 'MEMO=%s\r\n' "$data"
    n=1
    for name in 食費 住居費 光熱費 通信費 交通費 日用品 医療費 教育費 娯楽費 衣服費 交際費 雑費; do
      printf 'kamo%d=%s\r\n' "$n" "$name"
      n=$((n + 1))
    done
  } | iconv -f UTF-8 -t CP932 > ZADUD.CFG.new
  mv ZADUD.CFG.new ZADUD.CFG
fi
exec "$exe"
