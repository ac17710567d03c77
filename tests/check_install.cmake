# SPDX-License-Identifier: ISC
# cmake -DBUILD_DIR=... -DDEST=... -DMYBBS_PATH=... -DLOCAL_BBS_CALL=...
#       [-DMANDOC=...] [-DMAN=...] -P check_install.cmake
#
# Installs the build under DESTDIR=DEST with prefix /usr and checks that
# exactly the three programs and their manual pages arrive, ishome's and
# isknown's one page under both names; that the pages name the configured
# table and callsign and lint clean; that man finds each by its name; and
# that an install of the placeholder callsign warns of it, once.
file(REMOVE_RECURSE "${DEST}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${DEST}"
		"${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
	OUTPUT_QUIET ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
	message(FATAL_ERROR "cmake --install failed: ${rc}\n${err}")
endif()
# The placeholder callsign is warned of once, and a real one not at all.
string(REGEX MATCHALL "is the placeholder" warned "${err}")
list(LENGTH warned warned)
set(want 0)
if(LOCAL_BBS_CALL STREQUAL "Q0BBS")
	set(want 1)
endif()
if(NOT warned EQUAL want)
	message(SEND_ERROR "cmake --install warned ${warned} times of the placeholder, not ${want}:\n${err}")
endif()

file(GLOB_RECURSE got LIST_DIRECTORIES false RELATIVE "${DEST}" "${DEST}/*")
list(SORT got)
set(want usr/bin/ishome usr/bin/isknown usr/bin/mybbs-check
	usr/share/man/man1/ishome.1 usr/share/man/man1/isknown.1
	usr/share/man/man1/mybbs-check.1)
if(NOT got STREQUAL want)
	message(FATAL_ERROR "installed: ${got}\nexpected: ${want}")
endif()

set(man1 "${DEST}/usr/share/man/man1")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
	"${man1}/ishome.1" "${man1}/isknown.1" RESULT_VARIABLE differ)
if(differ)
	message(SEND_ERROR "ishome.1 and isknown.1 are not the one page")
endif()
foreach(page ishome mybbs-check)
	file(READ "${man1}/${page}.1" text)
	string(REPLACE "\\:" "" text "${text}") # the path's break points
	set(values "${MYBBS_PATH}" "${LOCAL_BBS_CALL}")
	if(page STREQUAL "ishome")
		list(APPEND values ".Nm ishome ,\n.Nm isknown\n")
	endif()
	foreach(value IN LISTS values)
		string(FIND "${text}" "${value}" at)
		if(at EQUAL -1)
			message(SEND_ERROR "${page}.1 does not name ${value}")
		endif()
	endforeach()
	if(MANDOC)
		execute_process(COMMAND "${MANDOC}" -Tlint -W warning "${man1}/${page}.1"
			RESULT_VARIABLE lint)
		if(NOT lint EQUAL 0)
			message(SEND_ERROR "${page}.1 does not lint clean")
		endif()
	endif()
endforeach()
if(MAN)
	foreach(page ishome isknown)
		execute_process(COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C MANWIDTH=200
				"${MAN}" -M "${DEST}/usr/share/man" -P cat ${page}
			OUTPUT_VARIABLE shown ERROR_QUIET RESULT_VARIABLE rc)
		# A path too long for a line goes on after one of its slashes.
		string(REGEX REPLACE "/\n +" "/" shown "${shown}")
		foreach(value "ishome, isknown" "${MYBBS_PATH}" "${LOCAL_BBS_CALL}")
			string(FIND "${shown}" "${value}" at)
			if(NOT rc EQUAL 0 OR at EQUAL -1)
				message(SEND_ERROR "man ${page} does not show ${value} (${rc})")
			endif()
		endforeach()
	endforeach()
endif()
