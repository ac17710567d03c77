# SPDX-License-Identifier: ISC
# Checking the build-time constants, turning them into the generated header
# mybbs_config.h, and the build rules that the programs share.

# Reads the release from the top entry of the Debian changelog FILE, the one
# place where it is kept: its version into VERSION_VAR (1.0.0 from
# "mybbs-tools (1.0.0) unstable; ..."), and its date into DATE_VAR in the
# form a manual page's .Dd takes ("December 8, 2026" from the trailer's
# "Tue, 08 Dec 2026 06:00:00 +0000"). CMake then uses only the leading
# numbers of the version, so that a package revision needs no other edit.
function(mybbs_read_release file version_var date_var)
	file(READ "${file}" text)
	if(NOT text MATCHES "^[^ ]+ \\(([0-9]+(\\.[0-9]+)*)[^)]*\\)")
		message(FATAL_ERROR "${file}: no version in its first line")
	endif()
	set(version "${CMAKE_MATCH_1}")
	if(NOT text MATCHES "\n -- [^\n]*>  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9]+) ")
		message(FATAL_ERROR "${file}: no date in its first entry's trailer")
	endif()
	set(months Jan January Feb February Mar March Apr April May May Jun June
		Jul July Aug August Sep September Oct October Nov November Dec December)
	list(FIND months "${CMAKE_MATCH_2}" at)
	math(EXPR at "${at} + 1")
	list(GET months ${at} month)
	math(EXPR day "${CMAKE_MATCH_1}") # without its leading zero
	set(${version_var} "${version}" PARENT_SCOPE)
	set(${date_var} "${month} ${day}, ${CMAKE_MATCH_3}" PARENT_SCOPE)
endfunction()

# Fails with a message that names the variable and its value when either
# constant could not serve: the path must begin with a slash (CMake would
# take "~/x" for absolute, the C library would not), the callsign must have
# one to five bytes, no wider than the home-BBS field it is compared with, and
# neither may hold a character that would break the C string literal it
# becomes. Runs at configure time, and under cmake -P for its tests.
function(mybbs_check_constants path call)
	set(bad "\"\\\\")
	foreach(code RANGE 1 31)
		string(ASCII ${code} c)
		string(APPEND bad "${c}")
	endforeach()
	string(ASCII 127 c)
	string(APPEND bad "${c}")

	set(value_MYBBS_PATH "${path}")
	set(value_LOCAL_BBS_CALL "${call}")
	foreach(var MYBBS_PATH LOCAL_BBS_CALL)
		if(value_${var} MATCHES "[${bad}]")
			message(FATAL_ERROR "${var} holds a quote, backslash or "
				"control character, which cannot stand in a C string: "
				"\"${value_${var}}\"")
		endif()
	endforeach()

	if(NOT path MATCHES "^/")
		message(FATAL_ERROR
			"MYBBS_PATH must be an absolute path, beginning with /, not \"${path}\"")
	endif()
	string(LENGTH "${call}" len) # counts bytes
	if(len GREATER 5)
		# The home BBS's first five bytes are all that is compared, so a
		# longer callsign is cut by the operator, knowingly, not here.
		string(SUBSTRING "${call}" 0 5 cut)
		message(FATAL_ERROR "LOCAL_BBS_CALL must have one to five characters, "
			"not \"${call}\" (${len} bytes). ishome compares the first "
			"five bytes of a user's home BBS: for a longer callsign set its "
			"first five, -DLOCAL_BBS_CALL=${cut}, and every home BBS that "
			"begins with ${cut} then counts as local.")
	elseif(len EQUAL 0)
		message(FATAL_ERROR "LOCAL_BBS_CALL must have one to five characters: "
			"it is empty")
	endif()
endfunction()

# Makes an interface target NAME whose include directory holds a
# mybbs_config.h for the given table path and local BBS callsign. The
# programs link one such target: the installed tools the cache's values, the
# end-to-end tests their own table inside the build tree.
function(mybbs_config_target name path call)
	set(MYBBS_PATH "${path}")
	set(LOCAL_BBS_CALL "${call}")
	set(dir "${CMAKE_CURRENT_BINARY_DIR}/${name}")
	configure_file("${PROJECT_SOURCE_DIR}/mybbs/mybbs_config.h.in"
		"${dir}/mybbs_config.h" @ONLY)
	add_library(${name} INTERFACE)
	target_include_directories(${name} INTERFACE "${dir}")
endfunction()

# Decides, once, how the programs are linked, and stores the answer in
# MYBBS_LINK, which the build rules and the ELF check read:
#   pie         dynamic, position-independent (MYBBS_HARDENING);
#   dynamic     dynamic, not position-independent;
#   static-pie  static and position-independent, where the compiler and C
#               library can make one and PIE is wanted;
#   static      a plain static executable elsewhere (a C library without
#               rcrt1.o, such as armhf's).
function(mybbs_decide_link)
	if(NOT MYBBS_STATIC)
		set(link dynamic)
		if(MYBBS_HARDENING)
			set(link pie)
		endif()
	else()
		set(link static)
		if(MYBBS_HARDENING)
			include(CheckCXXSourceCompiles)
			set(CMAKE_REQUIRED_FLAGS -fPIE)
			set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
			check_cxx_source_compiles("int main() { return 0; }" MYBBS_HAVE_STATIC_PIE)
			if(MYBBS_HAVE_STATIC_PIE)
				set(link static-pie)
			endif()
		endif()
	endif()
	set(MYBBS_LINK ${link} PARENT_SCOPE)
endfunction()

# Links the programs as MYBBS_LINK says, a static link through the interface
# target LINK. PIE through CMake's POSITION_INDEPENDENT_CODE, for
# every target from here down, the tests and the table writer too, so that
# a package's build log shows the same hardening on every line; a dynamic
# PIE is linked with -pie once check_pie_supported() has run, a static PIE
# with -static-pie alone.
macro(mybbs_link link)
	if(MYBBS_LINK MATCHES "pie")
		set(CMAKE_POSITION_INDEPENDENT_CODE ON)
	endif()
	if(MYBBS_LINK STREQUAL "pie")
		include(CheckPIESupported)
		check_pie_supported()
	elseif(MYBBS_LINK MATCHES "^static")
		target_link_options(${link} INTERFACE -${MYBBS_LINK})
	endif()
endmacro()

# Gives the interface targets COMPILE and LINK the rest of the usual hardening of a
# distribution's binaries: full RELRO, a stack protector and, but in Debug
# builds, _FORTIFY_SOURCE. A flag that the compiler flags already set one
# way or the other (dpkg-buildflags, a toolchain file, CXXFLAGS) is left to
# them: the packager's choice wins, and a second _FORTIFY_SOURCE of another
# value would be an error under -Werror.
function(mybbs_hardening compile link)
	set(flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_INIT}")
	if(NOT flags MATCHES "stack-protector")
		target_compile_options(${compile} INTERFACE -fstack-protector-strong)
	endif()
	if(NOT flags MATCHES "_FORTIFY_SOURCE")
		target_compile_options(${compile} INTERFACE
			$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
	endif()
	target_link_options(${link} INTERFACE LINKER:-z,relro,-z,now)
endfunction()

# Writes the manual page IN to OUT, filled in with the release and with the
# table path PATH and local BBS callsign CALL of the programs it describes.
function(mybbs_configure_page in out path call)
	# The path may break after any slash (\:, a break point that prints
	# nothing), so that a long one ends a line rather than running past the
	# margin.
	string(REPLACE "/" "/\\:" MYBBS_PATH "${path}")
	set(LOCAL_BBS_CALL "${call}")
	# The examples show the local BBS's callsign in lower case too.
	string(TOLOWER "${call}" LOCAL_BBS_CALL_LOWER)
	configure_file("${in}" "${out}" @ONLY)
endfunction()

# Builds program NAME from SOURCES (by default NAME/NAME.cpp in the source
# tree; relative to the calling directory), linked with the table module and
# the shared options, in one of two ways:
#   mybbs_add_program(NAME [DYNAMIC] [SOURCES src...] [LIBS lib...] [MANPAGE page])
#       an installed program: target NAME, reading the cache's table, and
#       installed with its manual page, MANPAGE (by default NAME/NAME.1.in;
#       programs may share one), filled in with the constants and the
#       release and installed as NAME.1;
#   mybbs_add_program(NAME [SOURCES src...] FOR prefix [CONFIG config] DIR dir)
#       a program for the tests or the benchmarks, not installed: target
#       PREFIX_NAME, written as DIR/NAME and reading the table of CONFIG (a
#       mybbs_config_target), if it reads one. Without SOURCES, a copy of an
#       installed program is built from that program's own, and links its
#       LIBS.
# LIBS are what the program links besides, compiled once for all its copies:
# so whatever in them depends on the constants is in SOURCES.
# DYNAMIC links the program dynamically even where MYBBS_STATIC links the
# others statically: a statically linked glibc program that looks up a user
# the files do not know loads the host's NSS modules, and can crash in them.
function(mybbs_add_program name)
	cmake_parse_arguments(PARSE_ARGV 1 arg "DYNAMIC" "MANPAGE;FOR;CONFIG;DIR" "SOURCES;LIBS")
	set(sources)
	foreach(src IN LISTS arg_SOURCES)
		get_filename_component(src "${src}" ABSOLUTE)
		list(APPEND sources "${src}")
	endforeach()
	if(NOT sources AND arg_FOR AND TARGET ${name})
		get_target_property(sources ${name} SOURCES)
		get_target_property(arg_DYNAMIC ${name} MYBBS_DYNAMIC)
		get_target_property(arg_LIBS ${name} MYBBS_LIBS)
		if(NOT arg_LIBS)
			set(arg_LIBS)
		endif()
	elseif(NOT sources)
		set(sources "${PROJECT_SOURCE_DIR}/${name}/${name}.cpp")
	endif()
	set(target ${name})
	set(config mybbs_config)
	if(arg_FOR)
		set(target ${arg_FOR}_${name})
		set(config ${arg_CONFIG})
	endif()
	add_executable(${target} ${sources})
	target_link_libraries(${target} PRIVATE ${arg_LIBS} mybbs ${config} mybbs_options mybbs_link_options)
	set_property(TARGET ${target} PROPERTY MYBBS_LIBS ${arg_LIBS})
	if(arg_DYNAMIC)
		set_property(TARGET ${target} PROPERTY MYBBS_DYNAMIC ON)
	else()
		target_link_libraries(${target} PRIVATE mybbs_static_link)
	endif()
	if(arg_FOR)
		set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name}
			RUNTIME_OUTPUT_DIRECTORY "${arg_DIR}")
		return()
	endif()

	if(NOT arg_MANPAGE)
		set(arg_MANPAGE "${PROJECT_SOURCE_DIR}/${name}/${name}.1.in")
	endif()
	mybbs_configure_page("${arg_MANPAGE}" "${CMAKE_CURRENT_BINARY_DIR}/${name}.1"
		"${MYBBS_PATH}" "${LOCAL_BBS_CALL}")
	install(TARGETS ${name} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
	install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${name}.1"
		DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endfunction()
