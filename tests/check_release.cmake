# SPDX-License-Identifier: ISC
# cmake -DDIR=... -P check_release.cmake
#
# Reads the release from Debian changelogs written into DIR: the top entry's
# version and date, in the form a manual page takes, whatever follows.
cmake_minimum_required(VERSION 3.18...3.25)
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/MybbsBuild.cmake")

set(older "\n\nmybbs-tools (0.9.0) unstable; urgency=medium\n\n  * Older.\n\n -- A <a@b.invalid>  Mon, 01 Jun 2026 06:00:00 +0000\n")
# Each case: version and trailer date of the top entry, and what must be read.
set(cases
	"1.0.0|Tue, 08 Dec 2026 06:00:00 +0000|1.0.0|December 8, 2026"
	"1.2.10|Sat, 31 Jul 2027 23:59:59 +0200|1.2.10|July 31, 2027"
	"2.0+bbs1|Fri, 01 Jan 2027 00:00:00 +0000|2.0|January 1, 2027")
file(MAKE_DIRECTORY "${DIR}")
foreach(case IN LISTS cases)
	string(REPLACE "|" ";" case "${case}")
	list(GET case 0 deb)
	list(GET case 1 stamp)
	list(GET case 2 want_version)
	list(GET case 3 want_date)
	file(WRITE "${DIR}/changelog" "mybbs-tools (${deb}) unstable; urgency=medium\n\n"
		"  * A release.\n\n -- Ann Operator <g7abc@example.org>  ${stamp}${older}")
	mybbs_read_release("${DIR}/changelog" version date)
	if(NOT version STREQUAL want_version OR NOT date STREQUAL want_date)
		message(SEND_ERROR "${deb}, ${stamp}: read ${version}, ${date}")
	endif()
endforeach()
file(REMOVE_RECURSE "${DIR}")
