#!/bin/sh
# Installs the Debian packages the build needs, only when one is missing.
# `install-deps.sh demo` installs only what configuring the release build
# and building the demo's programs need: a fresh machine shows live values
# without first fetching the analysers, the fuzzing compiler and the ARM
# cross toolchain with its emulator (several hundred MB).
set -e
PACKAGES="cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libncurses-dev libpcap-dev"
if [ "$1" != demo ]; then
  PACKAGES="$PACKAGES clang libclang-rt-14-dev clang-format clang-tidy cppcheck tshark"
  # The panels' architecture: Debian's cross compiler, the multiarch armhf
  # libraries the suite links, and qemu-user to run it.
  PACKAGES="$PACKAGES g++-arm-linux-gnueabihf qemu-user-static libc6:armhf libstdc++6:armhf libgtest-dev:armhf libgmock-dev:armhf libbenchmark-dev:armhf libncurses-dev:armhf libpcap-dev:armhf"
fi
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  case "$missing" in
    *:armhf*) dpkg --print-foreign-architectures | grep -qx armhf || $SUDO dpkg --add-architecture armhf ;;
  esac
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
