// SPDX-License-Identifier: ISC
// Each answer on a line with what made it: the record that decided, or why none did.
#include "check.h"

// The first record of some kind, and where it stands.
struct Hit {
	uintmax_t n;
	MybbsRecord rec;
};

// rec is what the module's scan returned: the first record equal to it byte
// for byte. Later ones with its callsign are never read.
static std::string explain_found(FILE *fp, const MybbsRecord *rec)
{
	rewind(fp);
	std::optional<uintmax_t> decided;
	std::optional<Hit> again;
	MybbsRecord r;
	for (uintmax_t n = 0; !again && read_mybbs_record(fp, &r) == sizeof r; n++)
		if (!decided && memcmp(&r, rec, sizeof r) == 0)
			decided = n;
		else if (decided && call_of(&r) == call_of(rec))
			again = Hit{n, r};
	if (!decided)
		return "the record it found is gone: the table changed meanwhile";
	std::string why = format("record %ju, home BBS %s", *decided, quoted(home_of(rec)).c_str());
	if (!mybbs_home_is(rec, LOCAL_BBS_CALL))
		why += format(", not the local %s", quoted(LOCAL_BBS_CALL).c_str());
	if (again)
		why += format("; listed again in record %ju, home BBS %s, which is never read",
			      again->n, quoted(home_of(&again->rec)).c_str());
	return why;
}

// Whether one callsign is the other followed by '-' or '/' and more, in
// either letter case.
static bool differ_by_suffix(std::string_view a, std::string_view b)
{
	if (a.size() > b.size())
		std::swap(a, b);
	return a.size() < b.size() && same_ignoring_case(a, b.substr(0, a.size())) &&
	       (b[a.size()] == '-' || b[a.size()] == '/');
}

// The first record with the callsign in another letter case, else the first
// that differs by a suffix, else the callsign in the trailing fragment.
static std::string explain_missing(FILE *fp, std::string_view call)
{
	rewind(fp);
	std::optional<Hit> other_case, suffix;
	MybbsRecord r;
	int got;
	for (uintmax_t n = 0; (got = read_mybbs_record(fp, &r)) == sizeof r; n++)
		if (call_of(&r).size() == sizeof r)
			continue;
		else if (!other_case && same_ignoring_case(call_of(&r), call))
			other_case = Hit{n, r};
		else if (!suffix && differ_by_suffix(call_of(&r), call))
			suffix = Hit{n, r};
	if (other_case)
		return format("not listed; record %ju has %s, in another letter case",
			      other_case->n, quoted(call_of(&other_case->rec)).c_str());
	if (suffix)
		return format("not listed; record %ju has %s, which differs by a suffix", suffix->n,
			      quoted(call_of(&suffix->rec)).c_str());
	if (got > 0 && std::string_view(bytes_of(&r), strnlen(bytes_of(&r), size_t(got))) == call)
		return "not listed; it stands in the trailing fragment, which is never read";
	if (call.size() >= sizeof r.call)
		return format("not listed; a callsign of %zu characters fits no well-formed record",
			      call.size());
	return "not listed";
}

int answer(char *const calls[], int n, bool listing)
{
	FILE *fp = open_or_say_why();
	if (fp != nullptr && listing)
		list(fp);
	for (int i = 0; i < n; i++) {
		// The answers are the tools' own: the module's scan and home
		// test, on the same file.
		MybbsRecord rec;
		bool known = find_mybbs_record(table, calls[i], &rec);
		bool home = known && mybbs_home_is(&rec, LOCAL_BBS_CALL);
		std::string why = fp == nullptr ? "the table cannot be read"
				  : known	? explain_found(fp, &rec)
						: explain_missing(fp, calls[i]);
		printf("%s: ishome %d, isknown %d: %s\n", quoted(calls[i]).c_str(),
		       home ? EXIT_YES : EXIT_NO, known ? EXIT_YES : EXIT_NO, why.c_str());
	}
	if (fp == nullptr)
		return EXIT_UNUSABLE;
	fclose(fp);
	return EXIT_CLEAN;
}
