#!/bin/sh
# Installs the Debian packages the build needs, only when one is missing.
set -e
PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev help2man clang-format clang-tidy cppcheck"
# The panels' architecture: Debian's cross compiler, the multiarch armhf
# libraries the suite links, and qemu-user to run it.
PACKAGES="$PACKAGES g++-arm-linux-gnueabihf qemu-user-static libc6:armhf libstdc++6:armhf libgtest-dev:armhf libgmock-dev:armhf libbenchmark-dev:armhf"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  dpkg --print-foreign-architectures | grep -qx armhf || $SUDO dpkg --add-architecture armhf
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
