#!/bin/sh
# Runs every test in the release build and in the sanitizer build, the
# multi-device runner and the simulator's many clients under
# ThreadSanitizer, the fuzz targets for a bounded time, and checks that the
# driver exports exactly its three entry points.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in release asan tsan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
# The fuzz targets run for a bounded time from their seed corpora.
cmake --preset fuzz
cmake --build --preset fuzz
for target in DevIOCtrlFuzz InitDeviceFuzz; do
  corpus=fuzz/corpus/$(echo "$target" | sed 's/Fuzz$//' | tr 'A-Z' 'a-z')
  work=$(mktemp -d)
  cp "$corpus"/* "$work"/
  status=0
  (cd build/fuzz && ./bin/$target -max_total_time=30 "$work") > "$work.log" 2>&1 || status=$?
  tail -2 "$work.log"
  rm -rf "$work" "$work.log"
  [ "$status" -eq 0 ] || { echo "$target found a failure"; exit 1; }
done
exports=$(nm -D --defined-only build/release/lib/libVI5Z_UVEVAROV_AVE.so | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exports" = "CreateDeviceCtrl DestroyDeviceCtrl GetInterfaceVersion " ] || { echo "unexpected exports: $exports"; exit 1; }
echo "all tests passed"
