#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Tolmera
# needs. Idempotent; run as root (or with sudo available).
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev libcups2-dev zlib1g-dev qt6-multimedia-dev
  # tests, benchmarks, fuzzing
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev
  libsqlite3-dev
  # independent readers and peers used by the tests
  python3 python3-dbf libdbd-xbase-perl
  libtiff-dev libtiff-tools netpbm efax libspandsp-dev unrtf
  # PDF files as fax documents (poppler's C++ binding)
  libpoppler-cpp-dev
  # the installation and the Debian package
  desktop-file-utils appstream lintian dpkg-dev groff-base man-db shared-mime-info
  # printing and reading printed PDF files
  poppler-utils cups
  # rich text with tables and pictures as LibreOffice shows it
  libreoffice-writer-nogui
  # the program at run time: spell checking, fonts, a display for screenshots
  libhunspell-dev hunspell-en-us fonts-liberation fontconfig xfonts-base
  xvfb xauth x11-apps
  # the configuration report: serial devices as udev knows them
  libudev-dev
)

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "setup.sh: run as root (or install sudo) to install packages" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup.sh: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
