// SPDX-License-Identifier: ISC
// Each answer on a line with what made it: the record that decided, or why none did.
#include <optional>

#include "check.h"

// A record, and where it stands in the table.
struct RecordAt {
	uintmax_t n;
	const MybbsRecord *rec;
};

// Whether one callsign is the other followed by '-' or '/' and more, in
// either letter case. An empty callsign has no suffix.
static bool differ_by_suffix(std::string_view a, std::string_view b)
{
	if (a.size() > b.size())
		std::swap(a, b);
	return !a.empty() && a.size() < b.size() && same_ignoring_case(a, b.substr(0, a.size())) &&
	       (b[a.size()] == '-' || b[a.size()] == '/');
}

// The record that decides, and the next with its callsign, which is never read.
static std::string decided(const RecordAt &first, const std::optional<RecordAt> &relisted)
{
	std::string text =
		format("record %ju, home BBS %s", first.n, quoted(home_of(first.rec)).c_str());
	if (!mybbs_home_is(first.rec, local_call))
		text += format(", not the local %s", quoted(local_call).c_str());
	if (relisted)
		text += format("; listed again in record %ju, home BBS %s, which is never read",
			       relisted->n, quoted(home_of(relisted->rec)).c_str());
	return text;
}

// Why a callsign that the scan did not find is not listed: the first record
// with it in another letter case, the first that differs by a suffix, the
// trailing fragment, or its length.
static std::string not_listed(const Table &t, std::string_view call)
{
	std::optional<RecordAt> other_case, suffix;
	for (uintmax_t n = 0; n < records(t) && !(other_case && suffix); n++) {
		std::string_view c = call_of(record_at(t, n));
		if (c.size() == sizeof(MybbsRecord)) // no NUL: no callsign finds it
			continue;
		if (!other_case && same_ignoring_case(c, call))
			other_case = RecordAt{n, record_at(t, n)};
		else if (!suffix && differ_by_suffix(c, call))
			suffix = RecordAt{n, record_at(t, n)};
	}
	if (other_case)
		return format("not listed; record %ju has %s, in another letter case",
			      other_case->n, quoted(call_of(other_case->rec)).c_str());
	if (suffix)
		return format("not listed; record %ju has %s, which differs by a suffix", suffix->n,
			      quoted(call_of(suffix->rec)).c_str());
	std::string_view fragment = fragment_of(t);
	if (!fragment.empty() && fragment.substr(0, fragment.find('\0')) == call)
		return "not listed; it stands in the trailing fragment, which is never read";
	if (call.size() >= sizeof MybbsRecord::call)
		return format("not listed; a callsign of %zu characters fits no well-formed record",
			      call.size());
	return "not listed";
}

// One callsign's line. The answers are the tools' own, their scan and home
// test, run on a stream over the table as it was read; the record that
// decided them, and the next with its callsign, are from that same read.
static void explain_one(const Table &t, FILE *fp, const char *call)
{
	rewind(fp);
	MybbsRecord found;
	bool known = scan_mybbs_table(fp, call, &found);
	bool home = known && mybbs_home_is(&found, local_call);
	std::string text;
	if (known) {
		// The stream stands just past the record it found.
		RecordAt first = {static_cast<uintmax_t>(ftello(fp)) / sizeof(MybbsRecord) - 1, {}};
		first.rec = record_at(t, first.n);
		std::optional<RecordAt> relisted;
		for (uintmax_t n = first.n + 1; n < records(t) && !relisted; n++)
			if (call_of(record_at(t, n)) == call)
				relisted = RecordAt{n, record_at(t, n)};
		text = decided(first, relisted);
	} else {
		text = not_listed(t, call);
	}
	printf("%s: ishome %d, isknown %d: %s\n", quoted(call).c_str(), home ? EXIT_YES : EXIT_NO,
	       known ? EXIT_YES : EXIT_NO, text.c_str());
}

int explain(const Table &t, char *const calls[], int n, bool listing)
{
	if (!t.failure.empty()) { // what was read says nothing of what was not
		unusable(t);
		return EXIT_UNUSABLE;
	}
	if (!t.refusal.empty()) { // the tools answer no to every callsign
		unusable(t);
		for (int i = 0; i < n; i++)
			printf("%s: ishome 0, isknown 0: the table cannot be read\n",
			       quoted(calls[i]).c_str());
		return EXIT_UNUSABLE;
	}
	if (listing)
		list(t);
	// A read of memory cannot fail.
	FILE *fp = fmemopen(const_cast<char *>(t.bytes.data()), t.bytes.size(), "rb");
	if (fp == nullptr) {
		complain("out of memory");
		return EXIT_UNUSABLE;
	}
	for (int i = 0; i < n; i++)
		explain_one(t, fp, calls[i]);
	fclose(fp);
	return EXIT_CLEAN;
}
