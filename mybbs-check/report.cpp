// SPDX-License-Identifier: ISC
// The report: what the table is, then a line per finding on it and its records.
#include <algorithm>
#include <libgen.h>
#include <pwd.h>
#include <unordered_map>

#include "check.h"

// What the report has found so far. The first record of each callsign is
// the only one ever read.
struct Report {
	const Table &t;
	int findings = 0;
	uintmax_t records = 0, at_home = 0; // at_home: callsigns with the local BBS as home
	std::string fragment{};
	std::unordered_map<std::string, uintmax_t> first_record{};
	// Each callsign listed more than once, and its first record's home BBS
	// once the record findings have passed that record.
	std::unordered_map<std::string, std::string> repeated{};
};

// A finding is a line of its own, and counted as it is printed.
static void finding(Report *r, const std::string &line)
{
	puts(line.c_str());
	r->findings++;
}

static bool walk(Report *r)
{
	// Room for a callsign a record, so that the map is never rebuilt; but a
	// sparse file claims no memory it would never use.
	r->first_record.reserve(static_cast<size_t>(std::clamp(
		r->t.file.size / static_cast<long long>(sizeof(MybbsRecord)), 0LL, 1LL << 22)));
	int got = each_record(r->t, &r->fragment, [r](uintmax_t n, const MybbsRecord &rec) {
		std::string_view call = call_of(&rec);
		r->records = n + 1;
		if (call.size() == sizeof rec) // no callsign finds it
			return true;
		if (!r->first_record.try_emplace(std::string(call), n).second)
			r->repeated.try_emplace(std::string(call));
		else if (mybbs_home_is(&rec, LOCAL_BBS_CALL))
			r->at_home++;
		return true;
	});
	if (got < 0)
		unusable(r->t, format("a read failed after record %ju", r->records));
	return got >= 0;
}

// Whether the table or its directory can be written by any user; what the
// whole table holds.
static void table_findings(Report *r)
{
	std::string dir = dirname(std::string(r->t.path).data()),
		    odd = unusual_bytes(LOCAL_BBS_CALL);
	struct stat ds;
	if (r->t.file.mode & S_IWOTH)
		finding(r,
			format("the table is writable by every user (mode %04o): any user of the host can change the answers",
			       r->t.file.mode & 07777));
	if (stat(dir.c_str(), &ds) == 0 && ds.st_mode & S_IWOTH && !(ds.st_mode & S_ISVTX))
		finding(r,
			format("its directory %s is writable by every user and not sticky (mode %04o): any user of the host can replace the table",
			       quoted(dir).c_str(), ds.st_mode & 07777));
	if (r->records == 0)
		finding(r,
			"the table holds no whole record: ishome and isknown answer 0 to every callsign");
	if (!r->fragment.empty())
		finding(r, format("trailing fragment of %zu bytes: never read as a record: %s",
				  r->fragment.size(), quoted(r->fragment).c_str()));
	if (!odd.empty())
		finding(r, format("LOCAL_BBS_CALL has %s: was it built as meant?", odd.c_str()));
	if (!r->first_record.empty() && r->at_home == 0)
		finding(r,
			"no listed callsign has the local BBS as home: ishome answers 0 to every callsign; was LOCAL_BBS_CALL built as meant?");
}

// Whether a record's callsign runs past its field, with no NUL before byte 7.
static bool overlong(std::string_view call)
{
	return call.size() >= sizeof MybbsRecord::call;
}

// Which callsign, long as it is, finds such a record: none, when its 20
// bytes hold no NUL.
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
static void field_findings(Report *r, uintmax_t n, const MybbsRecord &rec)
{
	std::string_view call = call_of(&rec), home = home_of(&rec).substr(0, sizeof rec.homebbs);
	std::string odd_call = unusual_bytes(call), odd_home = unusual_bytes(home);
	if (call.empty())
		finding(r,
			format("record %ju: empty callsign: only an empty argument finds it", n));
	else if (!odd_call.empty())
		finding(r,
			format("record %ju: callsign %s has %s: a question in the usual upper case misses it",
			       n, quoted(call).c_str(), odd_call.c_str()));
	if (!mybbs_home_is(&rec, LOCAL_BBS_CALL) && same_ignoring_case(home, LOCAL_BBS_CALL))
		finding(r,
			format("record %ju: home BBS %s is the local BBS in another letter case: ishome answers 0 for %s",
			       n, quoted(home_of(&rec)).c_str(), quoted(call).c_str()));
	else if (!odd_home.empty())
		finding(r,
			format("record %ju: home BBS %s has %s: ishome never takes it for the local BBS",
			       n, quoted(home_of(&rec)).c_str(), odd_home.c_str()));
}

// The findings on each record. A record that no callsign finds, or that is
// never read, has no other finding worth the noise.
static void record_findings(Report *r)
{
	each_record(r->t, nullptr, [r](uintmax_t n, const MybbsRecord &rec) {
		std::string_view call = call_of(&rec), home = home_of(&rec);
		if (overlong(call)) {
			overlong_finding(r, n, call);
			return true;
		}
		// Most tables list no callsign twice: no need to look.
		auto repeat = r->repeated.empty() ? r->repeated.end()
						  : r->repeated.find(std::string(call));
		if (repeat == r->repeated.end() || r->first_record.at(repeat->first) == n) {
			if (repeat != r->repeated.end())
				repeat->second = home;
			field_findings(r, n, rec);
			return true;
		}
		std::string how = format("its home BBS %s is another than the first's %s",
					 quoted(home).c_str(), quoted(repeat->second).c_str());
		finding(r,
			format("record %ju: %s listed again, first in record %ju: never read; %s",
			       n, quoted(call).c_str(), r->first_record.at(repeat->first),
			       home == repeat->second ? "same home BBS" : how.c_str()));
		return true;
	});
}

// Which table and local BBS, what the file is and who reads it, what the
// table holds, then the findings: the file's and the whole table's, then
// each record's.
int report(const Table &t, bool listing)
{
	std::string given = "with -f; the tools read " + quoted(MYBBS_PATH);
	printf("table: %s (%s)\n", quoted(t.path).c_str(), t.given ? given.c_str() : "built in");
	printf("local BBS: %s (LOCAL_BBS_CALL, built in)\n", quoted(LOCAL_BBS_CALL).c_str());
	if (t.fp == nullptr) {
		unusable(t, t.refusal);
		return EXIT_UNUSABLE;
	}
	const passwd *pw = getpwuid(t.file.owner);
	std::string owner = pw != nullptr ? quoted(pw->pw_name) : format("uid %u", t.file.owner);
	printf("file: %s, %lld bytes, mode %04o, owner %s, read as %s\n", file_kind(t.file.mode),
	       t.file.size, t.file.mode & 07777, owner.c_str(), user_name().c_str());
	Report r = {t};
	if (!walk(&r))
		return EXIT_UNUSABLE;
	std::string fragment = format("and a trailing fragment of %zu bytes", r.fragment.size());
	printf("records: %ju whole, %s\n", r.records,
	       r.fragment.empty() ? "no trailing fragment" : fragment.c_str());
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
