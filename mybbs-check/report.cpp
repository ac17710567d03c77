// SPDX-License-Identifier: ISC
// The report: what the table is, then a line per finding on it and its records.
#include <pwd.h>

#include "check.h"

// What a walk of the whole table found.
struct Walk {
	uintmax_t records = 0, local = 0; // local: callsigns with the local BBS as home
	uintmax_t duplicates = 0;	  // records whose callsign an earlier one has
	std::string fragment;		  // the bytes after the last whole record
	// The first record of each callsign, the only one ever read.
	std::unordered_map<std::string, uintmax_t> firsts;
};

static int findings;

// A finding is a line of its own, and counted as it is printed.
static void finding(const std::string &line)
{
	puts(line.c_str());
	findings++;
}

static bool walk(FILE *fp, off_t size, Walk *w)
{
	MybbsRecord rec;
	// Room for a callsign a record, so that the map is never rebuilt; but a
	// sparse file claims no memory it would never use.
	w->firsts.reserve(
		static_cast<size_t>(std::clamp<off_t>(size / off_t{sizeof rec}, 0, 1 << 22)));
	int got;
	for (; (got = read_mybbs_record(fp, &rec)) == sizeof rec; w->records++) {
		std::string_view call = call_of(&rec);
		if (call.size() == sizeof rec)
			continue; // no callsign finds it
		if (!w->firsts.try_emplace(std::string(call), w->records).second)
			w->duplicates++;
		else if (mybbs_home_is(&rec, LOCAL_BBS_CALL))
			w->local++;
	}
	if (got < 0)
		unusable(format("a read failed after record %ju", w->records));
	w->fragment.assign(bytes_of(&rec), got > 0 ? size_t(got) : 0);
	return got >= 0;
}

// Whether the table or its directory can be written by any user.
static void permission_findings(const struct stat &st)
{
	std::string dir = table;
	size_t slash = dir.rfind('/');
	dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
	struct stat ds;
	if (st.st_mode & S_IWOTH)
		finding(format(
			"the table is writable by every user (mode %04o): any user of the host can change the answers",
			st.st_mode & 07777));
	if (stat(dir.c_str(), &ds) == 0 && ds.st_mode & S_IWOTH && !(ds.st_mode & S_ISVTX))
		finding(format(
			"its directory %s is writable by every user and not sticky (mode %04o): any user of the host can replace the table",
			quoted(dir).c_str(), ds.st_mode & 07777));
}

static void table_findings(const Walk &w)
{
	std::string odd = awkward(LOCAL_BBS_CALL);
	if (w.records == 0)
		finding("the table holds no whole record: ishome and isknown answer 0 to every callsign");
	if (!w.fragment.empty())
		finding(format("trailing fragment of %zu bytes: never read as a record: %s",
			       w.fragment.size(), quoted(w.fragment).c_str()));
	if (!odd.empty())
		finding(format("LOCAL_BBS_CALL has %s: was it built as meant?", odd.c_str()));
	if (!w.firsts.empty() && w.local == 0)
		finding("no listed callsign has the local BBS as home: ishome answers 0 to every callsign; was LOCAL_BBS_CALL built as meant?");
}

// A record with no NUL before byte 7, which no callsign or only a long one
// finds; whether it is one.
static bool long_finding(uintmax_t n, const MybbsRecord *rec)
{
	std::string_view call = call_of(rec);
	if (call.size() == sizeof *rec)
		finding(format("record %ju: no NUL in its 20 bytes: no callsign finds it", n));
	else if (call.size() >= sizeof rec->call)
		finding(format(
			"record %ju: callsign field has no NUL in bytes 0 to 6: only %s, %zu characters, finds it",
			n, quoted(call).c_str(), call.size()));
	return call.size() >= sizeof rec->call;
}

// A record never read, since an earlier one has its callsign; whether it is
// one. That one is read again rather than kept for every callsign:
// duplicates are few, and most tables have none.
static bool duplicate_finding(FILE *fp, uintmax_t n, const MybbsRecord *rec, const Walk &w)
{
	uintmax_t first = w.duplicates > 0 ? w.firsts.at(std::string(call_of(rec))) : n;
	if (first == n)
		return false;
	MybbsRecord f;
	std::string how = "the table changed meanwhile";
	if (pread(fileno(fp), &f, sizeof f, static_cast<off_t>(first * sizeof f)) == sizeof f)
		how = home_of(&f) == home_of(rec)
			      ? "same home BBS"
			      : format("its home BBS %s is another than the first's %s",
				       quoted(home_of(rec)).c_str(), quoted(home_of(&f)).c_str());
	finding(format("record %ju: %s listed again, first in record %ju: never read; %s", n,
		       quoted(call_of(rec)).c_str(), first, how.c_str()));
	return true;
}

// Bytes in either field that a question would not match as they stand.
static void field_findings(uintmax_t n, const MybbsRecord *rec)
{
	std::string_view call = call_of(rec), home = home_of(rec).substr(0, sizeof rec->homebbs);
	std::string odd_call = awkward(call), odd_home = awkward(home);
	if (call.empty())
		finding(format("record %ju: empty callsign: only an empty argument finds it", n));
	else if (!odd_call.empty())
		finding(format(
			"record %ju: callsign %s has %s: a question in the usual upper case misses it",
			n, quoted(call).c_str(), odd_call.c_str()));
	if (!mybbs_home_is(rec, LOCAL_BBS_CALL) && same_ignoring_case(home, LOCAL_BBS_CALL))
		finding(format(
			"record %ju: home BBS %s is the local BBS in another letter case: ishome answers 0 for %s",
			n, quoted(home_of(rec)).c_str(), quoted(call).c_str()));
	else if (!odd_home.empty())
		finding(format(
			"record %ju: home BBS %s has %s: ishome never takes it for the local BBS",
			n, quoted(home_of(rec)).c_str(), odd_home.c_str()));
}

void list(FILE *fp)
{
	rewind(fp);
	MybbsRecord rec;
	int got;
	for (uintmax_t n = 0; (got = read_mybbs_record(fp, &rec)) == sizeof rec; n++)
		printf("  record %ju: callsign %s home BBS %s\n", n, quoted(call_of(&rec)).c_str(),
		       quoted(home_of(&rec)).c_str());
	if (got > 0)
		printf("  fragment: %s (never read)\n",
		       quoted({bytes_of(&rec), size_t(got)}).c_str());
}

// The findings on each record. A record that no callsign finds, or that is
// never read, has no other finding worth the noise.
static void record_findings(FILE *fp, const Walk &w)
{
	rewind(fp);
	MybbsRecord rec;
	for (uintmax_t n = 0; n < w.records && read_mybbs_record(fp, &rec) == sizeof rec; n++)
		if (!long_finding(n, &rec) && !duplicate_finding(fp, n, &rec, w))
			field_findings(n, &rec);
}

// What the file is: its kind, size, mode and owner, and who reads it.
static void file_summary(const struct stat &st)
{
	const passwd *pw = getpwuid(st.st_uid);
	std::string owner = pw != nullptr ? quoted(pw->pw_name) : format("uid %u", st.st_uid);
	printf("file: %s, %jd bytes, mode %04o, owner %s, read as %s\n", file_kind(st.st_mode),
	       intmax_t{st.st_size}, st.st_mode & 07777, owner.c_str(), user_name().c_str());
}

// What the walk found in the table as a whole.
static void table_summary(const Walk &w)
{
	std::string fragment = format("and a trailing fragment of %zu bytes", w.fragment.size());
	printf("records: %ju whole, %s\n", w.records,
	       w.fragment.empty() ? "no trailing fragment" : fragment.c_str());
	printf("listed callsigns: %zu, of which %ju have the local BBS as home\n", w.firsts.size(),
	       w.local);
}

// Which table and local BBS, what the table is, then its findings: the
// file's, the whole table's, and each record's.
int report(bool listing)
{
	std::string given = "with -f; the tools read " + quoted(MYBBS_PATH);
	printf("table: %s (%s)\n", quoted(table).c_str(), table_given ? given.c_str() : "built in");
	printf("local BBS: %s (LOCAL_BBS_CALL, built in)\n", quoted(LOCAL_BBS_CALL).c_str());
	fflush(stdout); // before a reason on standard error, which is not buffered
	FILE *fp = open_or_say_why();
	if (fp == nullptr)
		return EXIT_UNUSABLE;
	struct stat st = {};
	fstat(fileno(fp), &st); // on an open descriptor, only a fault could fail
	file_summary(st);
	Walk w;
	if (!walk(fp, st.st_size, &w)) {
		fclose(fp);
		return EXIT_UNUSABLE;
	}
	table_summary(w);
	if (listing)
		list(fp);
	permission_findings(st);
	table_findings(w);
	record_findings(fp, w);
	fclose(fp);
	if (findings == 0)
		puts("no findings");
	return findings > 0 ? EXIT_FINDINGS : EXIT_CLEAN;
}
