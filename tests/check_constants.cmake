# SPDX-License-Identifier: ISC
# cmake -P check_constants.cmake
#
# Runs the configure-time check of the build-time constants on each value
# that must be refused, and on a few that must pass, each in a cmake -P of
# its own (a refusal ends the script that meets it).
cmake_minimum_required(VERSION 3.18...3.25)
if(DEFINED MYBBS_PATH)
	include("${CMAKE_CURRENT_LIST_DIR}/../cmake/MybbsBuild.cmake")
	mybbs_check_constants("${MYBBS_PATH}" "${LOCAL_BBS_CALL}")
	return()
endif()

set(good_path /var/spool/norvo/stat/mybbs.tab)
set(good_call GB7XX)
string(ASCII 1 ctrl)
string(ASCII 127 del)

# Each case: the variable the refusal must name, and the value given it.
set(refused
	"MYBBS_PATH|mybbs.tab"
	"MYBBS_PATH|spool/mybbs.tab"
	"MYBBS_PATH|~/mybbs.tab"
	"MYBBS_PATH|"
	"MYBBS_PATH|/var/spool/\"x\".tab"
	"MYBBS_PATH|/var/spool\\\\x.tab"
	"MYBBS_PATH|/var/spool/x${ctrl}.tab"
	"MYBBS_PATH|/var/spool/x\n.tab"
	"LOCAL_BBS_CALL|GB7XXX"
	"LOCAL_BBS_CALL|"
	"LOCAL_BBS_CALL|ÄBCDE"
	"LOCAL_BBS_CALL|GB\"XX"
	"LOCAL_BBS_CALL|GB\\\\XX"
	"LOCAL_BBS_CALL|GB7X${ctrl}"
	"LOCAL_BBS_CALL|GB7X${del}"
	"LOCAL_BBS_CALL|GB7\tX")
set(passed "MYBBS_PATH|/srv/bbs tabs/mybbs.tab" "LOCAL_BBS_CALL|Q0BBS"
	"LOCAL_BBS_CALL|gb7x-" "LOCAL_BBS_CALL|W1AW" "LOCAL_BBS_CALL|K")

function(check var value want_refused)
	set(path "${good_path}")
	set(call "${good_call}")
	if(var STREQUAL "MYBBS_PATH")
		set(path "${value}")
	else()
		set(call "${value}")
	endif()
	execute_process(COMMAND "${CMAKE_COMMAND}" "-DMYBBS_PATH=${path}" "-DLOCAL_BBS_CALL=${call}"
			-P "${CMAKE_CURRENT_LIST_FILE}"
		RESULT_VARIABLE rc ERROR_VARIABLE err)
	if(want_refused AND (rc EQUAL 0 OR NOT err MATCHES "${var}"))
		message(SEND_ERROR "${var}=\"${value}\" was not refused: ${err}")
	elseif(NOT want_refused AND NOT rc EQUAL 0)
		message(SEND_ERROR "${var}=\"${value}\" was refused: ${err}")
	endif()
	string(REGEX REPLACE "[ \n]+" " " err "${err}") # CMake wraps messages
	foreach(msg IN LISTS ARGN)
		string(FIND "${err}" "${msg}" at)
		if(at EQUAL -1)
			message(SEND_ERROR "${var}=\"${value}\": no \"${msg}\" in: ${err}")
		endif()
	endforeach()
endfunction()

foreach(case IN LISTS refused)
	string(REGEX MATCH "^([^|]*)\\|(.*)$" _ "${case}")
	check("${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" TRUE)
endforeach()
# A six-character BBS callsign is refused with the five-byte value to set.
check(LOCAL_BBS_CALL DB0ABC TRUE "-DLOCAL_BBS_CALL=DB0AB" "begins with DB0AB")
foreach(case IN LISTS passed)
	string(REGEX MATCH "^([^|]*)\\|(.*)$" _ "${case}")
	check("${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" FALSE)
endforeach()
