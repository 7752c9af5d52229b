#!/bin/sh
# Builds the tools' Debian package from a build folder ($1) in a scratch
# folder and checks what it installs: the three tools with the driver they
# load and its dependency on ncurses, the manual pages (which groff reads
# without a warning), the reference pages and the examples; runs the tools
# from a scratch root, where their defaults are the installed paths; and
# stages what a panel needs and checks the driver's search path.
set -e
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" > "$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$scratch/files"
doc=/usr/share/doc/fx5-tools
for f in /usr/bin/fx5-sim /usr/bin/fx5-config /usr/bin/fx5-run /usr/lib/libVI5Z_UVEVAROV_AVE.so \
  /usr/share/man/man1/fx5-sim.1.gz /usr/share/man/man1/fx5-config.1.gz /usr/share/man/man1/fx5-run.1.gz \
  $doc/project-file.md $doc/project.schema.json $doc/fx5-sim.md $doc/fx5-run.md $doc/host-integration.md \
  $doc/examples/demo-line.json $doc/examples/labels/GlobalLabel.txt $doc/capture.md; do
  grep -qx "$f" "$scratch/files" || { echo "the package lacks $f"; exit 1; }
done
# The dissector, where Wireshark looks for Lua plugins (a cross build has none:
# its generator runs on the build machine).
if [ -f "$build/wireshark/slmp.lua" ]; then
  grep -qx "/usr/lib/.*/wireshark/plugins/slmp.lua" "$scratch/files" || { echo "the package lacks the dissector"; exit 1; }
fi
dpkg-deb -f "$deb" Depends | grep -q libncursesw6 || { echo "the package does not depend on ncurses"; exit 1; }
dpkg-deb -x "$deb" "$scratch/root"
for page in "$scratch"/root/usr/share/man/man1/*.1.gz; do
  warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || { echo "$page: $warnings"; exit 1; }
done
root=$scratch/root/usr
"$root/bin/fx5-run" --help | grep -q -- "--driver TEXT=$root/bin/../lib/libVI5Z_UVEVAROV_AVE.so"
"$root/bin/fx5-run" --help | grep -q -- "--sim TEXT=$root/bin/fx5-sim"
"$root/bin/fx5-sim" --version | grep -q "1.0.0"
"$root/bin/fx5-config" check "$root/share/doc/fx5-tools/examples/demo-line.json"
cmake --install "$build" --component panel --prefix "$scratch/panel" >/dev/null
test -f "$scratch/panel/lib/libVI5Z_UVEVAROV_AVE.so"
readelf -d "$scratch/panel/lib/libVI5Z_UVEVAROV_AVE.so" | grep -E 'R(UN)?PATH' | grep -q '\[\$ORIGIN\]'
echo "package $(basename "$deb"): tools, pages and examples run from a scratch root; panel staging holds the driver"
