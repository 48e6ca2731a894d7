#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, packaging and the
# demo need.
# Only missing packages are installed; run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qttools5-dev qttools5-dev-tools libqt5x11extras5-dev libqt5sql5-sqlite libqt5svg5-dev
  thrift-compiler libthrift-dev libboost-dev libssl-dev openssl
  libcups2-dev cups cups-client cups-daemon cups-ppdc cups-filters
  dbus libx11-dev xvfb xauth x11-apps imagemagick fonts-dejavu-core fonts-wqy-microhei
  procps clang-format
  dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run this script as root to install them." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
