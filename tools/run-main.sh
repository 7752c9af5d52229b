#!/bin/sh
# Sets up, builds, and runs the main job: the host runner loads the driver
# and collects from the built-in controller simulator over loopback TCP.
set -e
cd "$(dirname "$0")/.."
sh tools/build-all.sh
./build/release/bin/zolt_runner --driver build/release/lib/libVI5Z_UVEVAROV_AVE.so "$@"
