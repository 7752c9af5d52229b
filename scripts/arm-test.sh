#!/bin/sh
# The panels' architecture: cross-builds the driver, its host stand-in, the
# tools and the test suite for 32-bit ARM hard-float, runs the whole suite
# under qemu-user, and prints the driver's CPU per collected rank there.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
# The tests start fx5-sim and fx5-run themselves: the kernel must hand ARM
# programs to qemu (binfmt_misc; the F flag keeps the interpreter open).
if [ ! -e /proc/sys/fs/binfmt_misc/qemu-arm ]; then
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  printf '%s' ':qemu-arm:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x28\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-arm-static:F' \
    > /proc/sys/fs/binfmt_misc/register
fi
cmake --preset armhf
cmake --build --preset armhf
ctest --preset armhf -j2
echo "Under qemu-user (32-bit ARM hard-float):"
qemu-arm-static -L / build/armhf/bin/zolt_bench --benchmark_filter='BM_CollectFullRank|BM_Planning/1000$' 2>/dev/null | grep '^BM_'
