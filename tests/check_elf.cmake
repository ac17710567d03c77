# SPDX-License-Identifier: ISC
# cmake -DPROGRAMS="a;b" -DHARDENING=ON|OFF -DLINK=pie|dynamic|static-pie|static
#       -P check_elf.cmake
#
# Reads each program's ELF headers with readelf and fails unless it needs
# nothing at run time but the C library: libc.so.6 and, where the target's
# ABI keeps the stack protector's guard in the dynamic loader (aarch64), the
# program's own interpreter; nothing at all when linked statically. With
# HARDENING it must have full RELRO and, where LINK is a PIE, be a PIE bound
# at load time.
find_program(READELF readelf REQUIRED)
set(STATIC OFF)
set(PIE OFF)
if(LINK MATCHES "^static")
	set(STATIC ON)
endif()
if(LINK MATCHES "pie$")
	set(PIE ON)
endif()
foreach(prog IN LISTS PROGRAMS)
	execute_process(COMMAND "${READELF}" -W -h -l -d "${prog}"
		OUTPUT_VARIABLE elf RESULT_VARIABLE rc)
	if(NOT rc EQUAL 0)
		message(FATAL_ERROR "${READELF} ${prog}: ${rc}")
	endif()
	string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${elf}")
	string(REGEX REPLACE "\\(NEEDED\\) +Shared library: \\[([^]\n]*)\\]" "\\1"
		needed "${needed}")
	set(interp "")
	if(elf MATCHES "program interpreter: [^]\n]*/([^]/\n]+)\\]")
		set(interp "${CMAKE_MATCH_1}")
	endif()
	if(STATIC)
		if(needed OR interp)
			message(SEND_ERROR "${prog}: not static: needs ${needed} ${interp}")
		endif()
	else()
		list(REMOVE_ITEM needed libc.so.6 "${interp}")
		if(needed)
			message(SEND_ERROR "${prog}: needs more than the C library: ${needed}")
		endif()
	endif()

	set(marks)
	if(HARDENING)
		list(APPEND marks "GNU_RELRO")
		if(PIE)
			list(APPEND marks "Type: +DYN" "\\(FLAGS_1\\)[^\n]*NOW[^\n]*PIE")
		endif()
	endif()
	foreach(mark IN LISTS marks)
		if(NOT elf MATCHES "${mark}")
			message(SEND_ERROR "${prog}: no ${mark} in its ELF headers")
		endif()
	endforeach()
endforeach()
