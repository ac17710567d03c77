# SPDX-License-Identifier: ISC
# 32-bit ARM boards with hardware floating point (Debian's armhf):
# cmake --workflow --preset armhf
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(triple arm-linux-gnueabihf)
set(qemu qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cross.cmake)
