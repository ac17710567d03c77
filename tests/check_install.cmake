# SPDX-License-Identifier: ISC
# cmake -DBUILD_DIR=... -DDEST=... -DMYBBS_PATH=... -DLOCAL_BBS_CALL=...
#       [-DMANDOC=...] -P check_install.cmake
#
# Installs the build under DESTDIR=DEST with prefix /usr and checks that
# exactly the three programs and their manual pages arrive, that the pages
# name the configured table and callsign, and that they lint clean.
file(REMOVE_RECURSE "${DEST}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${DEST}"
		"${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
	OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

file(GLOB_RECURSE got LIST_DIRECTORIES false RELATIVE "${DEST}" "${DEST}/*")
list(SORT got)
set(want usr/bin/ishome usr/bin/isknown usr/bin/mybbs-check
	usr/share/man/man1/ishome.1 usr/share/man/man1/isknown.1
	usr/share/man/man1/mybbs-check.1)
if(NOT got STREQUAL want)
	message(FATAL_ERROR "installed: ${got}\nexpected: ${want}")
endif()

foreach(page ishome isknown mybbs-check)
	set(file "${DEST}/usr/share/man/man1/${page}.1")
	file(READ "${file}" text)
	set(values "${MYBBS_PATH}")
	if(NOT page STREQUAL "isknown")
		list(APPEND values "${LOCAL_BBS_CALL}")
	endif()
	foreach(value IN LISTS values)
		string(FIND "${text}" "${value}" at)
		if(at EQUAL -1)
			message(SEND_ERROR "${page}.1 does not name ${value}")
		endif()
	endforeach()
	if(MANDOC)
		execute_process(COMMAND "${MANDOC}" -Tlint -W warning "${file}"
			RESULT_VARIABLE lint)
		if(NOT lint EQUAL 0)
			message(SEND_ERROR "${page}.1 does not lint clean")
		endif()
	endif()
endforeach()
