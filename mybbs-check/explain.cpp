// SPDX-License-Identifier: ISC
// Each answer on a line with what made it: the record that decided, or why none did.
#include <optional>

#include "check.h"

// A record, and where it stands in the table.
struct RecordAt {
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
static std::string decided(const RecordAt &first, const std::optional<RecordAt> &relisted)
{
	std::string text =
		format("record %ju, home BBS %s", first.n, quoted(home_of(&first.rec)).c_str());
	if (!mybbs_home_is(&first.rec, LOCAL_BBS_CALL))
		text += format(", not the local %s", quoted(LOCAL_BBS_CALL).c_str());
	if (relisted)
		text += format("; listed again in record %ju, home BBS %s, which is never read",
			       relisted->n, quoted(home_of(&relisted->rec)).c_str());
	return text;
}

// Why a callsign that the scan did not find is not listed: the first record
// with it in another letter case, the first that differs by a suffix, the
// trailing fragment, or its length. A read that fails is left in *failed.
static std::string not_listed(const Table &t, std::string_view call, std::string *failed)
{
	std::optional<RecordAt> other_case, suffix;
	std::string fragment;
	uintmax_t records = 0;
	int got = each_record(t, &fragment, [&](uintmax_t n, const MybbsRecord &rec) {
		std::string_view c = call_of(&rec);
		records = n + 1;
		if (c.size() == sizeof rec) // no NUL: no callsign finds it
			return true;
		if (!other_case && same_ignoring_case(c, call))
			other_case = RecordAt{n, rec};
		else if (!suffix && differ_by_suffix(c, call))
			suffix = RecordAt{n, rec};
		return true;
	});
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

// One callsign's line. The answers are the tools' own, their scan and home
// test run on the open table; the record that decided them, and the next
// with its callsign, come from that same read. Only a callsign that is not
// listed is read for again, for the hints of why.
static void explain_one(const Table &t, const char *call, std::string *failed)
{
	std::string text = "the table cannot be read";
	bool known = false, home = false;
	if (t.fp != nullptr) {
		rewind(t.fp);
		RecordAt first;
		known = scan_mybbs_table(t.fp, call, &first.rec);
		home = known && mybbs_home_is(&first.rec, LOCAL_BBS_CALL);
		if (known) {
			// The stream stands just past the record it found.
			first.n = static_cast<uintmax_t>(ftello(t.fp)) / sizeof(MybbsRecord) - 1;
			std::optional<RecordAt> relisted;
			RecordAt next = {first.n + 1, {}};
			for (; read_mybbs_record(t.fp, &next.rec) == MYBBS_RECORD; next.n++)
				if (call_of(&next.rec) == call) {
					relisted = next;
					break;
				}
			text = decided(first, relisted);
		} else {
			text = not_listed(t, call, failed);
		}
	}
	printf("%s: ishome %d, isknown %d: %s\n", quoted(call).c_str(), home ? EXIT_YES : EXIT_NO,
	       known ? EXIT_YES : EXIT_NO, text.c_str());
}

int explain(const Table &t, char *const calls[], int n, bool listing)
{
	std::string failed;
	if (t.fp == nullptr)
		unusable(t, t.refusal);
	else if (listing)
		list(t);
	for (int i = 0; i < n; i++)
		explain_one(t, calls[i], &failed);
	if (!failed.empty()) // once, however many callsigns met it
		unusable(t, failed);
	return t.fp == nullptr || !failed.empty() ? EXIT_UNUSABLE : EXIT_CLEAN;
}
