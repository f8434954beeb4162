#!/usr/bin/env bash
# Installs every Debian package needed to build, run, test, benchmark and fuzz Quillon.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git clang-format universal-ctags ccache
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libmpv-dev libgumbo-dev libboost-dev libc-ares-dev zlib1g-dev
  # running on a desktop or a virtual one
  libqt6svg6 qt6-qpa-plugins fonts-dejavu-core xvfb xauth adwaita-icon-theme
  # Qt's own words in the dialogs (Cancel, Yes, No) in Russian
  qt6-translations-l10n
  # tests: the window read as a screen reader reads it, over the accessibility bus of a session bus
  at-spi2-core python3-pyatspi dbus
  # tests: media fixtures and real network peers
  ffmpeg python3 tinyproxy nginx-light openssl curl ca-certificates
  # benchmarks: a download manager's many connections to hold the program's own against
  aria2
  # the link-resolution service's second engine (it also runs ffmpeg, above), and sqv, which verifies the yt-dlp
  # releases it installs; tests: gpg signs releases of their own
  yt-dlp sqv gnupg
  # the Debian package: made (dpkg-shlibdeps, file), checked, and run unpacked as another user on a virtual display
  dpkg-dev file lintian appstream desktop-file-utils iproute2 util-linux xdotool dbus-daemon
  # benchmarks and fuzzing
  wrk clang libclang-rt-14-dev time
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh: run as root (it calls apt-get)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# Daemons that come with packages (nginx, tinyproxy) are started by the tests that need them, never at install.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
  chmod +x /usr/sbin/policy-rc.d
  trap 'rm -f /usr/sbin/policy-rc.d' EXIT
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${packages[@]}"
