# SPDX-License-Identifier: ISC
# 64-bit ARM boards (Debian's arm64): cmake --workflow --preset arm64
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(triple aarch64-linux-gnu)
set(qemu qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cross.cmake)
