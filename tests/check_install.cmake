# SPDX-License-Identifier: ISC
# cmake -DBUILD_DIR=... -DDEST=... -DMYBBS_PATH=... -DLOCAL_BBS_CALL=...
#       [-DMANDOC=...] [-DMAN=...] -P check_install.cmake
#
# Installs the build under DESTDIR=DEST with prefix /usr and checks that
# exactly the two programs and their manual page, under both names, arrive;
# that the page names the configured table and callsign and lints clean;
# and that man finds it under either name.
file(REMOVE_RECURSE "${DEST}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${DEST}"
		"${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
	OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

file(GLOB_RECURSE got LIST_DIRECTORIES false RELATIVE "${DEST}" "${DEST}/*")
list(SORT got)
set(want usr/bin/ishome usr/bin/isknown
	usr/share/man/man1/ishome.1 usr/share/man/man1/isknown.1)
if(NOT got STREQUAL want)
	message(FATAL_ERROR "installed: ${got}\nexpected: ${want}")
endif()

set(man1 "${DEST}/usr/share/man/man1")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
	"${man1}/ishome.1" "${man1}/isknown.1" RESULT_VARIABLE differ)
if(differ)
	message(SEND_ERROR "ishome.1 and isknown.1 are not the one page")
endif()
file(READ "${man1}/ishome.1" text)
string(REPLACE "\\:" "" text "${text}") # the path's break points
foreach(value "${MYBBS_PATH}" "${LOCAL_BBS_CALL}" ".Nm ishome ,\n.Nm isknown\n")
	string(FIND "${text}" "${value}" at)
	if(at EQUAL -1)
		message(SEND_ERROR "the page does not name ${value}")
	endif()
endforeach()
if(MANDOC)
	execute_process(COMMAND "${MANDOC}" -Tlint -W warning "${man1}/ishome.1"
		RESULT_VARIABLE lint)
	if(NOT lint EQUAL 0)
		message(SEND_ERROR "the page does not lint clean")
	endif()
endif()
if(MAN)
	foreach(page ishome isknown)
		execute_process(COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C MANWIDTH=200
				"${MAN}" -M "${DEST}/usr/share/man" -P cat ${page}
			OUTPUT_VARIABLE shown ERROR_QUIET RESULT_VARIABLE rc)
		foreach(value "ishome, isknown" "${MYBBS_PATH}" "${LOCAL_BBS_CALL}")
			string(FIND "${shown}" "${value}" at)
			if(NOT rc EQUAL 0 OR at EQUAL -1)
				message(SEND_ERROR "man ${page} does not show ${value} (${rc})")
			endif()
		endforeach()
	endforeach()
endif()
