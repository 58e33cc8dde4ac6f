#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: when everything is present it
# only checks and returns, without touching the package lists.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-networkauth-dev qt6-websockets-dev
  libqt6svg6
  qtkeychain-qt6-dev libquazip1-qt6-dev
  libssl-dev libsodium-dev zlib1g-dev libzstd-dev libpugixml-dev libargon2-dev
  libxtst-dev libxi-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format
  gnome-keyring dbus dbus-x11 xvfb xauth poppler-utils ccache
  chromium
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "bootstrap: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
