#!/usr/bin/env bash
# Installs every Debian package that building, testing, the demo and the
# running tool need. Idempotent: packages already present are left alone.
# Run as root (sudo where the system has it).
#
#   scripts/setup.sh          the project's packages
#   scripts/setup.sh --ci     also what CI needs besides (debootstrap and git
#                             for the fresh-system stage, scripts/fresh-root.sh)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  clang libclang-rt-14-dev
  iproute2 procps psmisc
  xvfb xauth imagemagick x11-utils
  dpkg-dev file appstream desktop-file-utils librsvg2-bin
  dbus dbus-x11 at-spi2-core python3 python3-pyatspi
  # The password in the desktop keyring: qtkeychain (it loads libsecret at
  # run time, which its package does not pull in), and for the keyring
  # tests a Secret Service of their own (scripts/keyring-session.sh).
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring libsecret-tools
  # The dialogs are laid out for "DejaVu Sans Condensed" (fonts-dejavu-extra).
  fonts-dejavu-core fonts-dejavu-extra
)

case "${1:-}" in
  "") ;;
  --ci) packages+=(debootstrap git) ;;
  *) echo "usage: $0 [--ci]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
