#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tessaloom needs, only
# those that are missing. Safe to run again.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libcanberra-dev libasound2-dev
  dpkg-dev file desktop-file-utils
  chromium python3 iproute2
  zlib1g-dev libbrotli-dev libzstd-dev qt6-image-formats-plugins
  xvfb xauth xdotool xdg-utils
  weston qt6-wayland lintian appstream man-db
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root or install sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
