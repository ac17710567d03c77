# cmake -DPROGRAMS="a;b" -DHARDENING=ON|OFF -P check_elf.cmake
#
# Reads each program's ELF headers with readelf and fails unless it needs
# libc.so.6 alone and, with HARDENING, is a PIE with full RELRO.
find_program(READELF readelf REQUIRED)
foreach(prog IN LISTS PROGRAMS)
	execute_process(COMMAND "${READELF}" -W -h -l -d "${prog}"
		OUTPUT_VARIABLE elf COMMAND_ERROR_IS_FATAL ANY)
	string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${elf}")
	if(NOT needed MATCHES "^\\(NEEDED\\) +Shared library: \\[libc\\.so\\.6\\]$")
		message(SEND_ERROR "${prog}: needs more than libc.so.6: ${needed}")
	endif()
	if(HARDENING)
		foreach(mark "Type: +DYN" "GNU_RELRO" "\\(FLAGS\\)[^\n]*BIND_NOW"
				"\\(FLAGS_1\\)[^\n]*NOW[^\n]*PIE")
			if(NOT elf MATCHES "${mark}")
				message(SEND_ERROR "${prog}: no ${mark} in its ELF headers")
			endif()
		endforeach()
	endif()
endforeach()
