#!/bin/sh
# Builds the tools' Debian package from a build folder, unpacks it into a
# scratch root and runs the tools from there; also stages what a panel
# needs and checks the driver's search path.
set -e
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/*.deb)
dpkg-deb -x "$deb" "$scratch/root"
"$scratch/root/usr/bin/fx5-run" --help | grep -q "fx5-run"
"$scratch/root/usr/bin/fx5-sim" --version | grep -q "1.0.0"
"$scratch/root/usr/bin/fx5-config" --help | grep -q "compile"
test -f "$scratch/root/usr/lib/libVI5Z_UVEVAROV_AVE.so"
test -f "$scratch/root/usr/share/man/man1/fx5-run.1"
cmake --install "$build" --component panel --prefix "$scratch/panel" >/dev/null
test -f "$scratch/panel/lib/libVI5Z_UVEVAROV_AVE.so"
readelf -d "$scratch/panel/lib/libVI5Z_UVEVAROV_AVE.so" | grep -E 'R(UN)?PATH' | grep -q '\[\$ORIGIN\]'
echo "package $(basename "$deb"): tools run from a scratch root; panel staging holds the driver"
