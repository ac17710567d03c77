# SPDX-License-Identifier: ISC
# Shared by the cross toolchain files, which set CMAKE_SYSTEM_PROCESSOR,
# triple and qemu: clang for the target triple, with Debian's cross C and C++
# libraries (libc6-dev-ARCH-cross, libstdc++-12-dev-ARCH-cross) and
# binutils-TRIPLE, which clang finds by the triple alone. Where qemu-user is
# installed, programs built for the target (the tests) run under it, with
# the target's libraries as its root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(MYBBS_QEMU_${qemu} ${qemu})
if(MYBBS_QEMU_${qemu})
	set(CMAKE_CROSSCOMPILING_EMULATOR ${MYBBS_QEMU_${qemu}} -L /usr/${triple})
endif()
