#!/usr/bin/env bash
# Installs every Debian package Voralin needs to build, run and test. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-image-formats-plugins
  libgl-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs libraw-dev
  libwebp-dev libheif-dev libavif-dev libjxl-dev libpng-dev libtiff-dev
  webp libheif-examples libavif-bin libjxl-tools
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  xvfb xauth dbus-x11 imagemagick
  fonts-dejavu-core fonts-dejavu-extra fonts-liberation2
  dpkg-dev file lintian appstream desktop-file-utils man-db bash-completion python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
