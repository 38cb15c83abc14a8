#!/usr/bin/env bash
# Installs the Debian 12 packages Tolvane needs to build, test and run.
# Safe to run again: packages already present are skipped.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-multimedia-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libspandsp-dev libtiff-dev libtiff-tools libsqlite3-dev libsofia-sip-ua-dev kamailio tshark
  efax python3 python3-dbf python3-dbfread
  imagemagick netpbm xvfb xauth fonts-dejavu-core wamerican libpng-dev
  libhunspell-dev hunspell-en-us
  libreoffice-writer-nogui libpoppler-private-dev libjpeg-dev ghostscript poppler-utils zlib1g-dev
  dbus pulseaudio pulseaudio-utils
  libtesseract-dev tesseract-ocr tesseract-ocr-eng
  libcurl4-openssl-dev python3-aiosmtpd openssl
  cups-daemon cups-client cups-ipp-utils
  hylafax-server
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring libre-dev
  tesseract-ocr-fra
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
