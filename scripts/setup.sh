#!/usr/bin/env bash
# Installs what building, running and testing Varnel need on Debian 12, when it
# is missing. Safe to run again: it installs nothing that is already there.
set -euo pipefail

packages=(
  cmake g++ make                       # the build
  qt6-base-dev                         # the toolkit (widgets, offscreen and X11 platforms)
  libgtest-dev libgmock-dev            # the tests
  fonts-dejavu-core                    # the about picture's font
  fonts-liberation2                    # a dialog font with the platform's metrics
  shared-mime-info desktop-file-utils  # file type registration in the desktop's database
  xdg-utils libglib2.0-bin             # ... and the tools that read it
  util-linux                           # losetup, for the block-device tests
  xvfb xauth imagemagick xdotool       # running, driving and screenshotting without a display
  openbox                              # a window manager for the end-to-end run
  mtools dosfstools                    # the demo floppy of scripts/run.sh
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
