#!/usr/bin/env bash
# Installs the Debian 12 packages Pellux needs to build, test and run.
# Idempotent: installs only what is missing. As root it uses apt-get (or
# sudo when it can); otherwise it names what is missing and how to get it.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  fonts-dejavu-core
  gcc-m68k-linux-gnu binutils-m68k-linux-gnu
  libxcb1-dev
  xvfb xdotool x11-apps
  valgrind
  gdb-multiarch
  libtifiles-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  sudo=(sudo)
else
  echo "Pellux needs these Debian packages, which are not installed:" >&2
  echo "  ${missing[*]}" >&2
  echo "Install them as root:  apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
  # The package lists of a fresh machine may be stale or empty.
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
