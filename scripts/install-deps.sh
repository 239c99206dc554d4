#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Tonemender needs,
# but only the ones that are missing, so a second run costs a few milliseconds.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # libraries the program links
  zlib1g-dev libpng-dev libgif-dev qt6-base-dev libasound2-dev libsystemd-dev
  libpulse-dev libsqlite3-dev libfreetype-dev libfontconfig-dev libxcb1-dev
  # the Tahoma faces, and a sans fallback
  fonts-wine fonts-dejavu-core fontconfig
  # tests and benchmarks (X11 and DAMAGE: the start-up benchmark watches the screen)
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libx11-dev libxdamage-dev
  # fuzzing (the fuzz preset)
  clang libclang-rt-14-dev
  # real peers for the end-to-end tests
  pulseaudio pulseaudio-utils alsa-utils libasound2-plugins
  pipewire pipewire-pulse wireplumber dbus
  xvfb xauth xdotool imagemagick openbox x11-utils
  # checking the installed desktop entry
  desktop-file-utils
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

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
