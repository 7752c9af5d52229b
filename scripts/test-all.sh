#!/bin/sh
# Checks the formatting, builds with warnings as errors, runs the static
# checks, runs every test in the release build and in the sanitizer build, the
# whole suite cross-built for 32-bit ARM under qemu-user, the
# multi-device runner and the simulator's many clients under
# ThreadSanitizer, the fuzz targets for a bounded time, and checks that the
# driver exports exactly its three entry points.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/check-format.sh
for preset in release asan tsan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
  if [ "$preset" = release ]; then sh scripts/static-checks.sh; fi
done
# Every fuzz target runs for a bounded time from its seed corpus (with its
# dictionary where it has one); a crash, a leak or an input slower than
# 10 s fails the run.
cmake --preset fuzz
cmake --build --preset fuzz
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
for target in DevIOCtrlFuzz InitDeviceFuzz ReplyFuzz LegacyFuzz TreeFuzz SimRequestFuzz ProjectFuzz CaptureFuzz; do
  name=$(echo "$target" | sed 's/Fuzz$//' | tr 'A-Z' 'a-z')
  work=$(mktemp -d)
  cp fuzz/corpus/"$name"/* "$work"/
  dict=""
  [ -f fuzz/dict/"$name".dict ] && dict="-dict=$(pwd)/fuzz/dict/$name.dict"
  status=0
  (cd build/fuzz && ./bin/$target -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 $dict "$work") > "$work.log" 2>&1 || status=$?
  echo "$target: $(tail -1 "$work.log")"
  if [ "$status" -ne 0 ]; then
    tail -40 "$work.log"
    echo "$target found a failure"
    exit 1
  fi
  rm -rf "$work" "$work.log"
done
# The panels' architecture: the whole suite cross-built and run under qemu-user.
sh scripts/arm-test.sh
exports=$(nm -D --defined-only build/release/lib/libVI5Z_UVEVAROV_AVE.so | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exports" = "CreateDeviceCtrl DestroyDeviceCtrl GetInterfaceVersion " ] || { echo "unexpected exports: $exports"; exit 1; }
echo "all tests passed"
