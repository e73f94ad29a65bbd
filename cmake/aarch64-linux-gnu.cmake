# Cross-building for arm64 on Debian with the cross compiler
# (g++-aarch64-linux-gnu) and the arm64 libraries of the multiarch archive
# (libmpfr-dev:arm64, libgtest-dev:arm64), which live beside the machine's
# own in /usr/lib/aarch64-linux-gnu. Programs built here run under
# qemu-aarch64 (qemu-user), the tests too: ctest starts them through it.
#
#   cmake -S . -B build-arm64 -G Ninja --toolchain cmake/aarch64-linux-gnu.cmake -DQZ_BUILD_UI=OFF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
