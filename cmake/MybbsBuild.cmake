# SPDX-License-Identifier: ISC
# Checking the build-time constants, turning them into the generated header
# mybbs_config.h, and the build rules that the programs share.

# Fails with a message that names the variable and its value when either
# constant could not serve: the path must begin with a slash (CMake would
# take "~/x" for absolute, the C library would not), the callsign must be
# five bytes, the width of the home-BBS field it is compared with, and
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
	if(NOT len EQUAL 5)
		message(FATAL_ERROR "LOCAL_BBS_CALL must be exactly five bytes, "
			"not \"${call}\" (${len} bytes)")
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

# Gives the interface target TARGET the usual hardening of a distribution's
# binaries: PIE, full RELRO, a stack protector and, but in Debug builds,
# _FORTIFY_SOURCE. A flag that the compiler flags already set one way or the
# other (dpkg-buildflags, a toolchain file, CXXFLAGS) is left to them: the
# packager's choice wins, and a second _FORTIFY_SOURCE of another value would
# be an error under -Werror.
function(mybbs_hardening target)
	set(flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_INIT}")
	if(NOT MYBBS_STATIC) # a static PIE is linked with -static-pie alone
		include(CheckPIESupported)
		check_pie_supported()
	endif()
	set_property(TARGET ${target} PROPERTY INTERFACE_POSITION_INDEPENDENT_CODE ON)
	if(NOT flags MATCHES "stack-protector")
		target_compile_options(${target} INTERFACE -fstack-protector-strong)
	endif()
	if(NOT flags MATCHES "_FORTIFY_SOURCE")
		target_compile_options(${target} INTERFACE
			$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
	endif()
	target_link_options(${target} INTERFACE LINKER:-z,relro,-z,now)
endfunction()

# Makes an interface target NAME that links a program statically: as a
# static PIE where the compiler and C library can make one and PIE is
# wanted, as a plain static executable elsewhere (a C library without
# rcrt1.o, such as armhf's).
function(mybbs_static_target name pie)
	add_library(${name} INTERFACE)
	if(pie)
		include(CheckCXXSourceCompiles)
		set(CMAKE_REQUIRED_FLAGS -fPIE)
		set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
		check_cxx_source_compiles("int main() { return 0; }" MYBBS_HAVE_STATIC_PIE)
	endif()
	if(MYBBS_HAVE_STATIC_PIE)
		target_link_options(${name} INTERFACE -static-pie)
	else()
		target_link_options(${name} INTERFACE -static)
	endif()
endfunction()

# Adds one of the programs: NAME/NAME.cpp linked with the table module and
# the cache's constants, and its manual page NAME/NAME.1.in (or the page
# MANPAGE, which programs may share), filled in with the same constants and
# the release; both installed, the page as NAME.1.
function(mybbs_add_program name)
	cmake_parse_arguments(PARSE_ARGV 1 arg "" "MANPAGE" "")
	if(NOT arg_MANPAGE)
		set(arg_MANPAGE ${name}.1.in)
	endif()
	add_executable(${name} ${name}.cpp)
	target_link_libraries(${name} PRIVATE mybbs mybbs_config mybbs_options)
	configure_file("${arg_MANPAGE}" ${name}.1 @ONLY)
	install(TARGETS ${name} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
	install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${name}.1"
		DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endfunction()

# Builds SOURCE as program NAME in DIR, like the installed programs but
# reading the table of CONFIG (a mybbs_config_target): for the end-to-end
# tests and the benchmarks. The target is PREFIX_NAME.
function(mybbs_add_variant prefix name source config dir)
	add_executable(${prefix}_${name} "${source}")
	target_link_libraries(${prefix}_${name} PRIVATE mybbs ${config} mybbs_options)
	set_target_properties(${prefix}_${name} PROPERTIES OUTPUT_NAME ${name}
		RUNTIME_OUTPUT_DIRECTORY "${dir}")
endfunction()
