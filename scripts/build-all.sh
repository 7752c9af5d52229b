#!/bin/sh
# Builds the driver, the tools, the tests and the benchmarks (release).
# `build-all.sh demo` builds only the driver and the three tools (the
# README's first steps use fx5-config too: about half the build) after
# installing only what that needs.
set -e
cd "$(dirname "$0")/.."
if [ "$1" = demo ]; then
  sh scripts/install-deps.sh demo
  set -- --target VI5Z_UVEVAROV_AVE fx5-sim fx5-run fx5-config
else
  set --
  sh scripts/install-deps.sh
fi
cmake --preset release
cmake --build --preset release "$@"
