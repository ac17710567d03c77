// SPDX-License-Identifier: ISC
// mybbs-check's parts, from the top down: each file calls only the ones
// after it, and the table module.
#pragma once

#include <cstdint>
#include <string>
#include <sys/stat.h>

#include "mybbs.h"
#include "mybbs_config.h"

enum { EXIT_CLEAN = 0, EXIT_FINDINGS = 1, EXIT_UNUSABLE = 2 };

// main.cpp: the options; opens the table once, as the tools do, or finds
// why it cannot, and hands it to one of the modes, which read it from its
// start as often as they need.
struct Table {
	const char *path;      // -f's, or MYBBS_PATH
	bool given;	       // whether -f gave it
	FILE *fp = nullptr;    // nullptr when it cannot be used,
	std::string refusal{}; // and then why not
	MybbsFile file = {};   // what it is, as its open found it
};

// report.cpp: with no callsign, what the table is and a line per finding.
int report(const Table &t, bool listing);

// explain.cpp: each callsign's answers, and the record that made them.
int explain(const Table &t, char *const calls[], int n, bool listing);

// text.cpp: how bytes are shown, and what in them would surprise a caller.
std::string_view call_of(const MybbsRecord *rec); // the bytes before the first NUL, or all 20
std::string_view home_of(const MybbsRecord *rec); // from byte 7 to a NUL
std::string quoted(std::string_view s);		  // in double quotes, safe for a terminal
std::string unusual_bytes(std::string_view s);	  // what a caller would seldom type; "" if nothing
bool same_ignoring_case(std::string_view a, std::string_view b);
const char *file_kind(mode_t mode);
std::string user_name(); // the user running the check, and the uid
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void list(const Table &t); // every record, indented so that none reads as a finding
void unusable(const Table &t, const std::string &reason); // on standard error

// Reads the table from its start in file order, as the tools do, and calls
// visit(n, rec) on each whole record until it returns false. Returns the
// trailing fragment's length, with its bytes in *fragment, or -1 when a
// read failed.
template <class Visit>
int each_record(const Table &t, std::string *fragment, Visit visit)
{
	rewind(t.fp);
	MybbsRecord rec;
	MybbsRead got;
	for (uintmax_t n = 0; (got = read_mybbs_record(t.fp, &rec)) == MYBBS_RECORD; n++)
		if (!visit(n, rec))
			return 0;
	if (got == MYBBS_FAILED)
		return -1;
	size_t len = mybbs_fragment_length(t.fp);
	if (fragment != nullptr)
		fragment->assign(reinterpret_cast<const char *>(&rec), len);
	return static_cast<int>(len);
}
