// SPDX-License-Identifier: ISC
// Runs a program as a caller on the BBS host would, and keeps what it did.
#pragma once

#include <string>
#include <vector>

struct Outcome {
	int status;	 // exit status; 128 + signal if killed; -1 if it hung;
			 // -2 if it could not be started (err says why)
	std::string out; // everything it wrote to stdout
	std::string err; // and to stderr
};

// Runs argv[0] (searched in PATH) with stdin from the descriptor in, or from
// /dev/null if in is -1, and kills it if it has not finished within
// timeout_ms.
Outcome run(const std::vector<std::string> &argv, int in = -1, int timeout_ms = 20000);

// The command line that runs prog with args: after the words of the as
// prefix (setpriv) and of $MYBBS_TEST_WRAPPER (valgrind in the valgrind
// pass, the emulator in a cross build).
std::vector<std::string> command(const char *prog, const std::vector<std::string> &args,
				 const std::vector<std::string> &as = {});
