# Checking the build-time constants and turning them into the generated
# header mybbs_config.h.

# Fails the configure step with a message that names the variable and its
# value when either constant could not serve: the path must be absolute, the
# callsign five characters, and neither may hold a character that would
# break the C string literal it becomes.
function(mybbs_check_constants path call)
	set(bad "\"\\\\")
	foreach(code RANGE 1 31)
		string(ASCII ${code} c)
		string(APPEND bad "${c}")
	endforeach()
	string(ASCII 127 c)
	string(APPEND bad "${c}")

	foreach(var MYBBS_PATH LOCAL_BBS_CALL)
		if(var STREQUAL "MYBBS_PATH")
			set(value "${path}")
		else()
			set(value "${call}")
		endif()
		if(value MATCHES "[${bad}]")
			message(FATAL_ERROR "${var} holds a quote, backslash or "
				"control character, which cannot stand in a C string: "
				"\"${value}\"")
		endif()
	endforeach()

	if(NOT IS_ABSOLUTE "${path}")
		message(FATAL_ERROR
			"MYBBS_PATH must be an absolute path, not \"${path}\"")
	endif()
	string(LENGTH "${call}" len)
	if(NOT len EQUAL 5)
		message(FATAL_ERROR "LOCAL_BBS_CALL must be exactly five "
			"characters, not \"${call}\" (${len})")
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

# Adds one of the programs: NAME/NAME.cpp linked with the table module and
# the cache's constants, and its manual page NAME/NAME.1.in, filled in with
# the same constants; both installed.
function(mybbs_add_program name)
	add_executable(${name} ${name}.cpp)
	target_link_libraries(${name} PRIVATE mybbs mybbs_config mybbs_options)
	configure_file(${name}.1.in ${name}.1 @ONLY)
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
