#!/bin/sh
# Builds the driver, the tools, the tests and the benchmarks (release).
# `build-all.sh demo` builds only what the demo runs (the driver, fx5-sim
# and fx5-run: about half the build) after installing only what that needs.
set -e
cd "$(dirname "$0")/.."
if [ "$1" = demo ]; then
  sh scripts/install-deps.sh demo
  set -- --target VI5Z_UVEVAROV_AVE fx5-sim fx5-run
else
  set --
  sh scripts/install-deps.sh
fi
cmake --preset release
cmake --build --preset release "$@"
