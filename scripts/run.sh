#!/bin/sh
# Starts the program with the data folder as its working directory: the
# program reads ZADUD.CFG from there and keeps its files there by default.
set -eu
exe=$(realpath "$1")
data=$2
mkdir -p "$data"
cd "$data"
exec "$exe"
