// SPDX-License-Identifier: ISC
// Runs a program as a caller on the BBS host would, and keeps what it did.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

struct Outcome {
	int status;	 // exit status; 128 + signal if killed; -1 if it hung;
			 // -2 if it could not be started (err says why)
	std::string out; // everything it wrote to stdout
	std::string err; // and to stderr
};

// Runs argv[0] (searched in PATH) with stdin from the descriptor in (-1:
// /dev/null), and kills it if it has not finished within timeout_ms.
Outcome run(const std::vector<std::string> &argv, int in = -1, int timeout_ms = 20000);

// The command line that runs prog with args: after the words of the as
// prefix (setpriv) and of $MYBBS_TEST_WRAPPER (valgrind in the valgrind
// pass, the emulator in a cross build).
std::vector<std::string> command(const char *prog, const std::vector<std::string> &args,
				 const std::vector<std::string> &as = {});

// Whether the programs run under $MYBBS_TEST_WRAPPER, whose own limits,
// memory and reads would then be what a test sees.
bool wrapped();

// The prefix (setpriv) that runs a program without root's override of file
// modes, in the inheritable set too, which a container may fill; empty when
// not root.
std::vector<std::string> without_override();

// s with each ASCII letter in lower case.
std::string lower_case(std::string s);

// A directory of the test's own, dir, made in the working directory (the
// build tree) before the test and removed after it if it passed.
class InDir : public testing::Test
{
protected:
	std::string dir;
	void SetUp() override;
	void TearDown() override;
};

// Whether strace (at path, "" if none) can trace the programs here, with no
// wrapper between; and the command line that runs prog under it, with
// LeakSanitizer off, which cannot run under ptrace.
bool can_trace(const char *strace);
std::vector<std::string> traced(const char *strace, const std::vector<std::string> &options,
				const char *prog, const std::vector<std::string> &args);
