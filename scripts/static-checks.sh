#!/bin/sh
# Static checks of the driver, the simulator and the tools: clang-tidy with
# the checks .clang-tidy states, and cppcheck. Any finding fails. Needs the
# release build's compile_commands.json (cmake --preset release).
set -e
cd "$(dirname "$0")/.."
db=build/release
[ -f "$db/compile_commands.json" ] || cmake --preset release >/dev/null
files=$(git ls-files 'vi5z_uvevarov_ave/*.cpp' 'config/*.cpp' 'tags/*.cpp' 'protocol/*.cpp' 'convert/*.cpp' 'host/*.cpp' 'sim/*.cpp' 'tools/*.cpp')
log=$(mktemp)
status=0
# The compile commands are GCC's: clang has no use for its link-time
# optimisation flags and need not say so.
echo "$files" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$db" --quiet --extra-arg=-Wno-ignored-optimization-argument > "$log" 2>/dev/null || status=$?
if [ "$status" -ne 0 ] || grep -q "warning:\|error:" "$log"; then
  grep -A3 "warning:\|error:" "$log" | head -80
  echo "clang-tidy: findings above"
  rm -f "$log"
  exit 1
fi
rm -f "$log"
echo "clang-tidy: $(echo "$files" | wc -w) files clean"
cppcheck --project="$db/compile_commands.json" --enable=warning,performance,portability --inline-suppr --quiet \
  --error-exitcode=1 -i build -i tests -i bench -i fuzz --suppress='*:/usr/*' -j "$(nproc)"
echo "cppcheck: clean"
