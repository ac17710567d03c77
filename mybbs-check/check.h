// SPDX-License-Identifier: ISC
// mybbs-check's parts, from the top down: each file calls only the ones
// after it, and the table module.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/stat.h>

#include "mybbs.h"

enum { EXIT_CLEAN = 0, EXIT_FINDINGS = 1, EXIT_UNUSABLE = 2 };

// values.cpp: the table path and the local BBS's callsign built in, as the
// tools have them.
extern const char table_path[]; // MYBBS_PATH
extern const char local_call[]; // LOCAL_BBS_CALL

// main.cpp: the options; opens the table once, as the tools do, and reads
// it once, to its end, or finds why it cannot; hands what it read to one of
// the modes. Every answer, listing and finding comes from that one read.
struct Table {
	const char *path;      // -f's, or table_path
	bool given;	       // whether -f gave it
	MybbsFile file = {};   // what it is, as its open found it
	std::string refusal{}; // why the tools cannot open it, if they cannot;
	std::string failure{}; // or why it could not be read to its end;
	std::string bytes{};   // else all it holds: its whole records, then its fragment
};

// The table's whole records, and record n of them.
inline size_t records(const Table &t)
{
	return t.bytes.size() / sizeof(MybbsRecord);
}
inline const MybbsRecord *record_at(const Table &t, uintmax_t n)
{
	return reinterpret_cast<const MybbsRecord *>(t.bytes.data()) + static_cast<size_t>(n);
}
inline std::string_view fragment_of(const Table &t)
{
	return std::string_view(t.bytes).substr(records(t) * sizeof(MybbsRecord));
}

// report.cpp: with no callsign, what the table is and a line per finding.
int report(const Table &t, bool listing);

// explain.cpp: each callsign's answers, and the record that made them.
int explain(const Table &t, char *const calls[], int n, bool listing);

// path.cpp: each directory that a path is looked up in, as the kernel looks
// it up, following its links: visit(dir, st) is called once for each, and
// first for the working directory and those above it when the path is
// relative. Returns "" when every name in it but the last was found, else
// why one was not, in the operator's terms.
using DirVisit = std::function<void(const std::string &dir, const struct stat &st)>;
std::string walk_path(const char *path, const DirVisit &visit);

// text.cpp: how bytes are shown, and what in them would surprise a caller.
std::string_view call_of(const MybbsRecord *rec); // the bytes before the first NUL, or all 20
std::string_view home_of(const MybbsRecord *rec); // from byte 7 to a NUL
std::string quoted(std::string_view s);		  // in double quotes, safe for a terminal
std::string unusual_bytes(std::string_view s);	  // what a caller would seldom type; "" if nothing
bool same_ignoring_case(std::string_view a, std::string_view b);
const char *file_kind(mode_t mode);
std::string user_name(); // the user running the check, and the uid
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void complain(const char *fmt, ...) __attribute__((format(printf, 1, 2))); // on standard error
void list(const Table &t);     // every record, indented so that none reads as a finding
void unusable(const Table &t); // why the table cannot be used, or was not read
