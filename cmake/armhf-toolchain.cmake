# 32-bit ARM hard-float Linux, the operator panels' architecture, with
# Debian's cross compiler and the multiarch armhf libraries
# (dpkg --add-architecture armhf). Programs built here run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
# GCC notes that it passes some pairs of doubles as C++14 did before GCC 10.1;
# everything here is built by the one compiler, so the note says nothing.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
# Libraries only from the armhf tree; headers also from the shared /usr/include.
set(CMAKE_FIND_ROOT_PATH /usr/lib/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# ctest and gtest_discover_tests run the test programs through this.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm-static -L /)
