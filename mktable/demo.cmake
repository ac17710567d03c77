# SPDX-License-Identifier: ISC
# cmake -DMKTABLE=... -DISHOME=... -DISKNOWN=... -DCHECK=... -DTABLE=... -DLOCAL=...
#       -P demo.cmake
#
# Writes a small home-BBS table at TABLE, where the tools were built to look,
# then asks them about it and prints each question with its answer, and
# what mybbs-check says about the surprising ones.
execute_process(COMMAND "${MKTABLE}" -f "${TABLE}"
		"G4ABC=${LOCAL}" "DL1XYZ=DB0ABC" "M0XYZ=${LOCAL}.#23.GBR"
		"PA3DEF=PI8ABC" "G4ABC=DB0ABC"
	RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
	message(FATAL_ERROR "mktable: ${rc}")
endif()
message("Table ${TABLE}, local BBS ${LOCAL}:")
message("  G4ABC home ${LOCAL}, DL1XYZ home DB0ABC, M0XYZ home ${LOCAL}.#23.GBR,")
message("  PA3DEF home PI8ABC, G4ABC again with home DB0ABC")
message("Exit status 1 means yes, 0 no:")

foreach(question "ishome G4ABC" "ishome M0XYZ" "ishome DL1XYZ" "ishome g4abc"
		"isknown DL1XYZ" "isknown PA3DEF" "isknown N0CALL" "isknown")
	separate_arguments(words UNIX_COMMAND "${question}")
	list(POP_FRONT words prog)
	string(TOUPPER "${prog}" var)
	execute_process(COMMAND "${${var}}" ${words} RESULT_VARIABLE answer)
	message("  ${question} -> ${answer}")
endforeach()

# ishome answers 0 for g4abc, and G4ABC is listed twice with two home BBSes:
# mybbs-check says why, and which record counts.
message("Why? mybbs-check g4abc G4ABC:")
execute_process(COMMAND "${CHECK}" g4abc G4ABC OUTPUT_VARIABLE why RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
	message(FATAL_ERROR "mybbs-check: ${rc}")
endif()
string(REGEX REPLACE "\n$" "" why "${why}")
string(REPLACE "\n" "\n  " why "${why}")
message("  ${why}")
