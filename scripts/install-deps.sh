#!/bin/sh
# Installs the Debian packages that the build, the tests and the program need.
# Idempotent: apt-get runs only when something is missing.
set -eu

PACKAGES="
build-essential
cmake
pkg-config
libzip-dev
zlib1g-dev
qt6-base-dev
qt6-base-dev-tools
qt6-charts-dev
libgl-dev
libfontconfig-dev
libgtest-dev
libgmock-dev
libbenchmark-dev
poppler-utils
xvfb
librsvg2-bin
dpkg-dev
desktop-file-utils
appstream
curl
lintian
clang
libclang-rt-14-dev
fonts-ipafont-gothic
fonts-ipafont-mincho
syncthing
"

missing=""
for p in $PACKAGES; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $p" ;;
  esac
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
else
  SUDO="sudo"
fi
echo "installing:$missing"
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
