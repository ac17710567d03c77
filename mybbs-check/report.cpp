// SPDX-License-Identifier: ISC
// The report: what the table is, then a line per finding on it and its records.
#include <pwd.h>
#include <unordered_map>

#include "check.h"

// What the report has found. The first record of each callsign is the only
// one ever read.
struct Report {
	const Table &t;
	int findings = 0;
	uintmax_t at_home = 0; // callsigns with the local BBS as home
	bool relisted = false; // whether any callsign is listed twice
	// Each callsign that a question can find, and its first record.
	std::unordered_map<std::string_view, uintmax_t> first_record{};
};

// A finding is a line of its own, and counted as it is printed.
static void finding(Report *r, const std::string &line)
{
	puts(line.c_str());
	r->findings++;
}

// Which record of each callsign is its first, and how many of those have
// the local BBS as home.
static void first_records(Report *r)
{
	// Room for every record's callsign, so that the map is never rebuilt.
	r->first_record.reserve(static_cast<size_t>(records(r->t)));
	for (uintmax_t n = 0; n < records(r->t); n++) {
		const MybbsRecord *rec = record_at(r->t, n);
		std::string_view call = call_of(rec);
		if (call.size() == sizeof *rec) // no callsign finds it
			continue;
		if (!r->first_record.try_emplace(call, n).second)
			r->relisted = true;
		else if (mybbs_home_is(rec, local_call))
			r->at_home++;
	}
}

// Whether the table, or a directory that its path is looked up in, can be
// written by any user; what the whole table holds.
static void table_findings(Report *r)
{
	std::string odd = unusual_bytes(local_call);
	if (r->t.file.mode & S_IWOTH)
		finding(r,
			format("the table is writable by every user (mode %04o): any user of the host can change the answers",
			       r->t.file.mode & 07777));
	// Whoever can write a directory on the way, unless it is sticky, can
	// put another file, link or directory in the place of a name in it.
	walk_path(r->t.path, [r](const std::string &dir, const struct stat &st) {
		if (st.st_mode & S_IWOTH && !(st.st_mode & S_ISVTX))
			finding(r,
				format("directory %s is writable by every user and not sticky (mode %04o): any user of the host can replace the table",
				       quoted(dir).c_str(), st.st_mode & 07777));
	});
	if (records(r->t) == 0)
		finding(r,
			"the table holds no whole record: ishome and isknown answer 0 to every callsign");
	std::string_view fragment = fragment_of(r->t);
	if (!fragment.empty())
		finding(r, format("trailing fragment of %zu bytes: never read as a record: %s",
				  fragment.size(), quoted(fragment).c_str()));
	if (!odd.empty())
		finding(r, format("LOCAL_BBS_CALL has %s: was it built as meant?", odd.c_str()));
	if (!r->first_record.empty() && r->at_home == 0)
		finding(r,
			"no listed callsign has the local BBS as home: ishome answers 0 to every callsign; was LOCAL_BBS_CALL built as meant?");
}

// Which callsign, long as it is, finds a record with no NUL before byte 7:
// none, when its 20 bytes hold no NUL.
static void overlong_finding(Report *r, uintmax_t n, std::string_view call)
{
	if (call.size() == sizeof(MybbsRecord))
		finding(r, format("record %ju: no NUL in its 20 bytes: no callsign finds it", n));
	else
		finding(r,
			format("record %ju: callsign field has no NUL in bytes 0 to 6: only %s, %zu characters, finds it",
			       n, quoted(call).c_str(), call.size()));
}

// Bytes in either field that a question would not match as they stand.
static void field_findings(Report *r, uintmax_t n, const MybbsRecord *rec)
{
	std::string_view call = call_of(rec), home = home_of(rec).substr(0, sizeof rec->homebbs);
	std::string odd_call = unusual_bytes(call), odd_home = unusual_bytes(home);
	if (call.empty())
		finding(r,
			format("record %ju: empty callsign: only an empty argument finds it", n));
	else if (!odd_call.empty())
		finding(r,
			format("record %ju: callsign %s has %s: a question in the usual upper case misses it",
			       n, quoted(call).c_str(), odd_call.c_str()));
	if (!mybbs_home_is(rec, local_call) && same_ignoring_case(home, local_call))
		finding(r,
			format("record %ju: home BBS %s is the local BBS in another letter case: ishome answers 0 for %s",
			       n, quoted(home_of(rec)).c_str(), quoted(call).c_str()));
	else if (!odd_home.empty())
		finding(r,
			format("record %ju: home BBS %s has %s: ishome never takes it for the local BBS",
			       n, quoted(home_of(rec)).c_str(), odd_home.c_str()));
}

// The findings on each record. A record that no callsign finds, or that is
// never read, has no other finding worth the noise.
static void record_findings(Report *r)
{
	for (uintmax_t n = 0; n < records(r->t); n++) {
		const MybbsRecord *rec = record_at(r->t, n);
		std::string_view call = call_of(rec), home = home_of(rec);
		// Most tables list no callsign twice: no need to look.
		auto first = r->relisted ? r->first_record.find(call) : r->first_record.end();
		if (first != r->first_record.end() && first->second != n) {
			std::string_view first_home = home_of(record_at(r->t, first->second));
			std::string how = format("its home BBS %s is another than the first's %s",
						 quoted(home).c_str(), quoted(first_home).c_str());
			finding(r,
				format("record %ju: %s listed again, first in record %ju: never read; %s",
				       n, quoted(call).c_str(), first->second,
				       home == first_home ? "same home BBS" : how.c_str()));
		} else if (call.size() >= sizeof rec->call) {
			overlong_finding(r, n, call);
		} else {
			field_findings(r, n, rec);
		}
	}
}

// Which table and local BBS, what the file is and who reads it, what the
// table holds, then the findings: the file's and the whole table's, then
// each record's.
int report(const Table &t, bool listing)
{
	std::string given = "with -f; the tools read " + quoted(table_path);
	printf("table: %s (%s)\n", quoted(t.path).c_str(), t.given ? given.c_str() : "built in");
	printf("local BBS: %s (LOCAL_BBS_CALL, built in)\n", quoted(local_call).c_str());
	if (!t.refusal.empty()) {
		unusable(t);
		return EXIT_UNUSABLE;
	}
	const passwd *pw = getpwuid(t.file.owner);
	std::string owner = pw != nullptr ? quoted(pw->pw_name) : format("uid %u", t.file.owner);
	printf("file: %s, %lld bytes, mode %04o, owner %s, read as %s\n", file_kind(t.file.mode),
	       t.file.size, t.file.mode & 07777, owner.c_str(), user_name().c_str());
	if (!t.failure.empty()) {
		unusable(t);
		return EXIT_UNUSABLE;
	}
	Report r = {t};
	first_records(&r);
	std::string_view fragment = fragment_of(t);
	std::string fragment_size = format("and a trailing fragment of %zu bytes", fragment.size());
	printf("records: %zu whole, %s\n", records(t),
	       fragment.empty() ? "no trailing fragment" : fragment_size.c_str());
	printf("listed callsigns: %zu, of which %ju have the local BBS as home\n",
	       r.first_record.size(), r.at_home);
	if (listing)
		list(t);
	table_findings(&r);
	record_findings(&r);
	if (r.findings == 0)
		puts("no findings");
	return r.findings > 0 ? EXIT_FINDINGS : EXIT_CLEAN;
}
