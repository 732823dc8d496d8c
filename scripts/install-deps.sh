#!/usr/bin/env bash
# Installs every Debian 12 package Strideloom needs to build, test and run.
# Idempotent; works as root, or through sudo for an ordinary user.
set -euo pipefail

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools qttranslations5-l10n cmark-gfm
  libqt5serialport5-dev libqt5opengl5-dev libqt5svg5
  libqwt-qt5-dev libusb-1.0-0-dev libeigen3-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
  xvfb xauth x11-utils imagemagick
  fonts-wqy-microhei socat bc
  libmosquitto-dev mosquitto liblo-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "All packages already installed."
fi
