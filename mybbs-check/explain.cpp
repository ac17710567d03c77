// SPDX-License-Identifier: ISC
// Each answer on a line with what made it: the record that decided, or why none did.
#include <optional>

#include "check.h"

// A record of some kind, and where it stands.
struct Hit {
	uintmax_t n;
	MybbsRecord rec;
};

// Whether one callsign is the other followed by '-' or '/' and more, in
// either letter case.
static bool differ_by_suffix(std::string_view a, std::string_view b)
{
	if (a.size() > b.size())
		std::swap(a, b);
	return a.size() < b.size() && same_ignoring_case(a, b.substr(0, a.size())) &&
	       (b[a.size()] == '-' || b[a.size()] == '/');
}

// The record that decides, and the next with its callsign, which is never read.
static std::string decided(const Hit &first, const std::optional<Hit> &again)
{
	std::string why =
		format("record %ju, home BBS %s", first.n, quoted(home_of(&first.rec)).c_str());
	if (!mybbs_home_is(&first.rec, LOCAL_BBS_CALL))
		why += format(", not the local %s", quoted(LOCAL_BBS_CALL).c_str());
	if (again)
		why += format("; listed again in record %ju, home BBS %s, which is never read",
			      again->n, quoted(home_of(&again->rec)).c_str());
	return why;
}

// One read of the table for the callsign: the record that decides and the
// next with its callsign; or else the first in another letter case, the
// first that differs by a suffix, or the trailing fragment. A read that
// fails first fails the tools' scan too, and is left in *failed.
static std::string why(const Table &t, std::string_view call, std::string *failed)
{
	std::optional<Hit> decides, again, other_case, suffix;
	std::string fragment;
	uintmax_t records = 0;
	int got = each_record(t, &fragment, [&](uintmax_t n, const MybbsRecord &rec) {
		std::string_view c = call_of(&rec);
		records = n + 1;
		if (c.size() == sizeof rec) // no NUL: no callsign finds it
			return true;
		if (c == call)
			(decides ? again : decides) = Hit{n, rec};
		else if (!other_case && same_ignoring_case(c, call))
			other_case = Hit{n, rec};
		else if (!suffix && differ_by_suffix(c, call))
			suffix = Hit{n, rec};
		return !again;
	});
	if (decides)
		return decided(*decides, again);
	if (got < 0) {
		*failed = format("a read failed after record %ju", records);
		return "the table cannot be read";
	}
	if (other_case)
		return format("not listed; record %ju has %s, in another letter case",
			      other_case->n, quoted(call_of(&other_case->rec)).c_str());
	if (suffix)
		return format("not listed; record %ju has %s, which differs by a suffix", suffix->n,
			      quoted(call_of(&suffix->rec)).c_str());
	if (!fragment.empty() && fragment.c_str() == call)
		return "not listed; it stands in the trailing fragment, which is never read";
	if (call.size() >= sizeof MybbsRecord::call)
		return format("not listed; a callsign of %zu characters fits no well-formed record",
			      call.size());
	return "not listed";
}

int explain(const Table &t, char *const calls[], int n, bool listing)
{
	std::string failed;
	if (t.fp == nullptr)
		unusable(t, t.why);
	else if (listing)
		list(t);
	for (int i = 0; i < n; i++) {
		// The answers are the tools' own: the module's scan and home
		// test, on the same file.
		MybbsRecord rec;
		bool known = find_mybbs_record(t.path, calls[i], &rec);
		bool home = known && mybbs_home_is(&rec, LOCAL_BBS_CALL);
		printf("%s: ishome %d, isknown %d: %s\n", quoted(calls[i]).c_str(),
		       home ? EXIT_YES : EXIT_NO, known ? EXIT_YES : EXIT_NO,
		       t.fp == nullptr ? "the table cannot be read"
				       : why(t, calls[i], &failed).c_str());
	}
	if (!failed.empty()) // once, however many callsigns met it
		unusable(t, failed);
	return t.fp == nullptr || !failed.empty() ? EXIT_UNUSABLE : EXIT_CLEAN;
}
