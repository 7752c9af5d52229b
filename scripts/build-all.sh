#!/bin/sh
# Builds the driver, the tools, the tests and the benchmarks (release).
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
