// SPDX-License-Identifier: ISC
// mybbs-check [-l] [-f TABLE] [CALLSIGN ...]: says in words what ishome and
// isknown answer about each callsign, and why; with no callsign, reports on
// the home-BBS table itself. For the people who run the BBS: ishome and
// isknown say nothing by design. Exits 0 when the table was read and nothing
// was found wrong, 1 when there are findings, 2 when the table cannot be used
// or on wrong usage.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "mybbs.h"

static_assert(sizeof LOCAL_BBS_CALL - 1 == sizeof(MybbsRecord::homebbs),
	      "LOCAL_BBS_CALL must be five characters");

namespace
{

enum { EXIT_CLEAN = 0, EXIT_FINDINGS = 1, EXIT_UNUSABLE = 2 };

// The home-BBS field: from byte 7 to the end of the record.
constexpr size_t home_offset = offsetof(MybbsRecord, homebbs);
constexpr size_t home_size = sizeof(MybbsRecord) - home_offset;

const char *bytes_of(const MybbsRecord *rec)
{
	return reinterpret_cast<const char *>(rec);
}

// The user callsign as the scan sees it, the bytes before the record's first
// NUL: sizeof *rec when there is none.
size_t call_length(const MybbsRecord *rec)
{
	return strnlen(bytes_of(rec), sizeof *rec);
}

size_t home_length(const MybbsRecord *rec)
{
	return strnlen(bytes_of(rec) + home_offset, home_size);
}

// Whether a byte is shown as it is. Every other byte, anything not
// printable ASCII and the quote and backslash that would make the rest
// ambiguous, is written as \xHH: no table can send a control sequence to
// the operator's terminal.
bool plain(unsigned char c)
{
	return c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
}

// Shows bytes from the table or the command line in double quotes.
void show(FILE *out, const char *s, size_t n)
{
	putc_unlocked('"', out);
	for (size_t i = 0; i < n; i++) {
		auto c = static_cast<unsigned char>(s[i]);
		if (plain(c))
			putc_unlocked(c, out);
		else
			fprintf(out, "\\x%02x", c);
	}
	putc_unlocked('"', out);
}

void show(FILE *out, const char *s)
{
	show(out, s, strlen(s));
}

void show_call(const MybbsRecord *rec)
{
	show(stdout, bytes_of(rec), call_length(rec));
}

void show_home(const MybbsRecord *rec)
{
	show(stdout, bytes_of(rec) + home_offset, home_length(rec));
}

// What in a callsign or home-BBS field a caller would seldom type: nullptr
// when it holds only upper case letters, digits, '-' and '/'.
const char *awkward(const char *s, size_t n)
{
	bool lower = false, blank = false, control = false, other = false;
	for (size_t i = 0; i < n; i++) {
		auto c = static_cast<unsigned char>(s[i]);
		if (c >= 'a' && c <= 'z')
			lower = true;
		else if (c == ' ')
			blank = true;
		else if (c < 0x20 || c == 0x7f)
			control = true;
		else if (!(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') && c != '-' && c != '/')
			other = true;
	}
	static std::string what;
	what.clear();
	for (auto [has, name] :
	     {std::pair{lower, "lower case"}, std::pair{blank, "blanks"},
	      std::pair{control, "control bytes"}, std::pair{other, "other unusual bytes"}})
		if (has)
			what += (what.empty() ? "" : ", ") + std::string(name);
	return what.empty() ? nullptr : what.c_str();
}

bool same_ignoring_case(const char *a, const char *b, size_t n)
{
	return strncasecmp(a, b, n) == 0;
}

// The number of the first record of each callsign of up to eight bytes,
// keyed by those bytes as one number. A report on a large table is bound by
// these look-ups: open addressing over a power-of-two array kept at most
// half full takes one cache miss each, where std::unordered_map's buckets
// and nodes take two, and some 32 bytes a callsign rather than 48.
struct ShortCalls {
	struct Slot {
		uint64_t key;
		uint64_t first; // the first record's number + 1; 0 for a free slot
	};
	unsigned bits = 10;
	std::vector<Slot> slots = std::vector<Slot>(size_t{1} << bits);
	size_t used = 0;

	// The slot of key, or the free slot where it belongs. Multiplying
	// spreads keys that differ only in their last characters.
	Slot *find(uint64_t key)
	{
		size_t mask = slots.size() - 1;
		auto i = static_cast<size_t>((key * 0x9e3779b97f4a7c15U) >> (64 - bits));
		while (slots[i].first != 0 && slots[i].key != key)
			i = (i + 1) & mask;
		return &slots[i];
	}

	std::pair<uint64_t, bool> try_emplace(uint64_t key, uint64_t n)
	{
		Slot *slot = find(key);
		if (slot->first != 0)
			return {slot->first - 1, false};
		if (2 * (used + 1) > slots.size()) {
			std::vector<Slot> old(slots.size() * 2);
			old.swap(slots);
			bits++;
			for (const Slot &s : old)
				if (s.first != 0)
					*find(s.key) = s;
			slot = find(key);
		}
		*slot = {key, n + 1};
		used++;
		return {n, true};
	}
};

// The number of the first record of each distinct callsign, the only one
// ever read. Callsigns of up to eight bytes, which hold no NUL, are told
// apart by their bytes as one number; the rare longer ones, from records with
// no NUL in bytes 0 to 6, by their bytes as a string. Either way the memory
// grows with the number of distinct callsigns, not of records.
struct Firsts {
	ShortCalls short_calls;
	std::unordered_map<std::string, uint64_t> long_calls;

	// The first record of rec's callsign, recorded as record n if there is
	// none yet, and whether it was; n for a record that no callsign can
	// match.
	std::pair<uint64_t, bool> note(const MybbsRecord *rec, uint64_t n)
	{
		size_t len = call_length(rec);
		if (len == sizeof *rec)
			return {n, false};
		if (len <= sizeof(uint64_t)) {
			uint64_t key = 0;
			memcpy(&key, bytes_of(rec), len);
			return short_calls.try_emplace(key, n);
		}
		auto [it, added] = long_calls.try_emplace(std::string(bytes_of(rec), len), n);
		return {it->second, added};
	}
};

// The table to read and how it was given.
const char *table = MYBBS_PATH;
bool table_given = false;

// The user running the check, shown as the rest is.
std::string user_name()
{
	uid_t uid = geteuid();
	const passwd *pw = getpwuid(uid);
	std::string name = "\"";
	for (const char *p = pw != nullptr ? pw->pw_name : "?"; *p != '\0'; p++) {
		auto c = static_cast<unsigned char>(*p);
		char hex[5];
		snprintf(hex, sizeof hex, "\\x%02x", c);
		name += plain(c) ? std::string(1, *p) : hex;
	}
	return name + "\" (uid " + std::to_string(uid) + ")";
}

const char *file_kind(mode_t mode)
{
	if (S_ISREG(mode))
		return "a regular file";
	if (S_ISDIR(mode))
		return "a directory";
	if (S_ISFIFO(mode))
		return "a FIFO";
	if (S_ISCHR(mode))
		return "a character device";
	if (S_ISBLK(mode))
		return "a block device";
	if (S_ISSOCK(mode))
		return "a socket";
	return "not a regular file";
}

// Says on standard error why the table cannot be used.
void unusable(const char *why, const std::string &more = {})
{
	fputs("mybbs-check: ", stderr);
	show(stderr, table);
	fprintf(stderr, ": %s%s: ishome and isknown answer 0 to every callsign\n", why,
		more.c_str());
}

// Opens the table through the module, as the tools do, and says why not
// when that fails. *st describes what was opened.
FILE *open_table(struct stat *st)
{
	if (stat(table, st) != 0) {
		int e = errno;
		if (e == ENOENT)
			unusable("missing");
		else if (e == EACCES)
			unusable("cannot be reached by user ", user_name());
		else
			unusable(strerror(e));
		return nullptr;
	}
	if (!S_ISREG(st->st_mode)) {
		unusable("not a regular file but ", file_kind(st->st_mode));
		return nullptr;
	}
	errno = 0;
	FILE *fp = open_mybbs_table(table);
	if (fp == nullptr) {
		int e = errno;
		if (e == EACCES)
			unusable("not readable by user ", user_name());
		else if (e == 0)
			unusable("no longer a regular file");
		else
			unusable(strerror(e));
		return nullptr;
	}
	if (fstat(fileno(fp), st) != 0)
		st->st_size = 0;
	return fp;
}

// What a whole walk of the table found.
struct Walk {
	uint64_t records = 0;
	int fragment = 0; // bytes after the last whole record
	MybbsRecord tail{};
	uint64_t callsigns = 0, local = 0; // distinct callsigns, with the local BBS as home
	uint64_t duplicates = 0;	   // records whose callsign an earlier one has
	Firsts firsts;
};

bool walk(FILE *fp, Walk *w)
{
	MybbsRecord rec;
	int got;
	while ((got = read_mybbs_record(fp, &rec)) == sizeof rec) {
		auto [first, added] = w->firsts.note(&rec, w->records);
		if (added) {
			w->callsigns++;
			if (mybbs_home_is(&rec, LOCAL_BBS_CALL))
				w->local++;
		} else if (first != w->records) {
			w->duplicates++;
		}
		w->records++;
	}
	if (got < 0) {
		unusable("a read failed after record ", std::to_string(w->records));
		return false;
	}
	w->fragment = got;
	w->tail = rec;
	return true;
}

// Lists every record, and the trailing fragment, indented so that no line
// can be taken for a finding.
void list(FILE *fp)
{
	rewind(fp);
	MybbsRecord rec;
	int got;
	for (uint64_t n = 0; (got = read_mybbs_record(fp, &rec)) == sizeof rec; n++) {
		printf("  record %llu: callsign ", static_cast<unsigned long long>(n));
		show_call(&rec);
		fputs(" home BBS ", stdout);
		show_home(&rec);
		putchar_unlocked('\n');
	}
	if (got > 0) {
		fputs("  fragment: ", stdout);
		show(stdout, bytes_of(&rec), static_cast<size_t>(got));
		puts(" (never read)");
	}
}

// The findings on one record; returns how many.
int record_findings(FILE *fp, uint64_t n, const MybbsRecord *rec, Walk *w)
{
	auto num = static_cast<unsigned long long>(n);
	size_t len = call_length(rec);
	if (len == sizeof *rec) {
		printf("record %llu: no NUL in its 20 bytes: no callsign finds it\n", num);
		return 1;
	}
	if (len > sizeof rec->call - 1) {
		printf("record %llu: callsign field has no NUL in bytes 0 to 6: only ", num);
		show_call(rec);
		printf(", %zu characters, finds it\n", len);
		return 1;
	}

	// Most tables have no duplicate: then no callsign is looked up again.
	uint64_t first = w->duplicates > 0 ? w->firsts.note(rec, n).first : n;
	if (first != n) {
		printf("record %llu: ", num);
		show_call(rec);
		printf(" listed again, first in record %llu: never read; ",
		       static_cast<unsigned long long>(first));
		// Read again rather than kept for every callsign: duplicates
		// are few.
		MybbsRecord f;
		if (pread(fileno(fp), &f, sizeof f, static_cast<off_t>(first * sizeof f)) !=
		    sizeof f) {
			puts("the table changed meanwhile");
		} else if (home_length(&f) == home_length(rec) &&
			   memcmp(bytes_of(&f) + home_offset, bytes_of(rec) + home_offset,
				  home_length(rec)) == 0) {
			puts("same home BBS");
		} else {
			fputs("its home BBS ", stdout);
			show_home(rec);
			fputs(" is another than the first's ", stdout);
			show_home(&f);
			putchar_unlocked('\n');
		}
		return 1;
	}

	int found = 0;
	if (len == 0) {
		printf("record %llu: empty callsign: only an empty argument finds it\n", num);
		found++;
	} else if (const char *what = awkward(bytes_of(rec), len)) {
		printf("record %llu: callsign ", num);
		show_call(rec);
		printf(" has %s: a question in the usual upper case misses it\n", what);
		found++;
	}
	size_t hlen = strnlen(rec->homebbs, sizeof rec->homebbs);
	if (hlen == sizeof rec->homebbs && !mybbs_home_is(rec, LOCAL_BBS_CALL) &&
	    same_ignoring_case(rec->homebbs, LOCAL_BBS_CALL, hlen)) {
		printf("record %llu: home BBS ", num);
		show_home(rec);
		fputs(" is the local BBS in another letter case: ishome answers 0 for ", stdout);
		show_call(rec);
		putchar_unlocked('\n');
		found++;
	} else if (const char *what = awkward(rec->homebbs, hlen)) {
		printf("record %llu: home BBS ", num);
		show_home(rec);
		printf(" has %s: ishome never takes it for the local BBS\n", what);
		found++;
	}
	return found;
}

// Says whether the table or its directory can be written by any user.
int permission_findings(const struct stat &st)
{
	int found = 0;
	if (st.st_mode & S_IWOTH) {
		printf("the table is writable by every user (mode %04o): any user of the "
		       "host can change the answers\n",
		       static_cast<unsigned>(st.st_mode & 07777));
		found++;
	}
	std::string dir = table;
	size_t slash = dir.rfind('/');
	dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
	struct stat ds;
	if (stat(dir.c_str(), &ds) == 0 && (ds.st_mode & S_IWOTH) && !(ds.st_mode & S_ISVTX)) {
		fputs("its directory ", stdout);
		show(stdout, dir.c_str());
		printf(" is writable by every user and not sticky (mode %04o): any user of "
		       "the host can replace the table\n",
		       static_cast<unsigned>(ds.st_mode & 07777));
		found++;
	}
	return found;
}

void header()
{
	fputs("table: ", stdout);
	show(stdout, table);
	if (table_given) {
		fputs(" (with -f; the tools read ", stdout);
		show(stdout, MYBBS_PATH);
		fputs(")\n", stdout);
	} else {
		puts(" (built in)");
	}
	fputs("local BBS: ", stdout);
	show(stdout, LOCAL_BBS_CALL);
	puts(" (LOCAL_BBS_CALL, built in)");
	// Before a reason on standard error, which is not buffered.
	fflush(stdout);
}

int report(bool listing)
{
	header();
	struct stat st;
	FILE *fp = open_table(&st);
	if (fp == nullptr)
		return EXIT_UNUSABLE;
	printf("file: %s, %lld bytes, mode %04o, owner ", file_kind(st.st_mode),
	       static_cast<long long>(st.st_size), static_cast<unsigned>(st.st_mode & 07777));
	const passwd *pw = getpwuid(st.st_uid);
	if (pw != nullptr)
		show(stdout, pw->pw_name);
	else
		printf("uid %u", static_cast<unsigned>(st.st_uid));
	printf(", read as %s\n", user_name().c_str());
	Walk w;
	if (!walk(fp, &w)) {
		fclose(fp);
		return EXIT_UNUSABLE;
	}
	printf("records: %llu whole", static_cast<unsigned long long>(w.records));
	if (w.fragment > 0)
		printf(", and a trailing fragment of %d bytes\n", w.fragment);
	else
		puts(", no trailing fragment");
	printf("listed callsigns: %llu, of which %llu have the local BBS as home\n",
	       static_cast<unsigned long long>(w.callsigns),
	       static_cast<unsigned long long>(w.local));
	if (listing)
		list(fp);

	int found = permission_findings(st);
	if (w.records == 0) {
		puts("the table holds no whole record: ishome and isknown answer 0 to every "
		     "callsign");
		found++;
	}
	if (w.fragment > 0) {
		printf("trailing fragment of %d bytes: never read as a record: ", w.fragment);
		show(stdout, bytes_of(&w.tail), static_cast<size_t>(w.fragment));
		putchar_unlocked('\n');
		found++;
	}
	if (const char *what = awkward(LOCAL_BBS_CALL, sizeof LOCAL_BBS_CALL - 1)) {
		printf("LOCAL_BBS_CALL has %s: was it built as meant?\n", what);
		found++;
	}
	if (w.callsigns > 0 && w.local == 0) {
		puts("no listed callsign has the local BBS as home: ishome answers 0 to every "
		     "callsign; was LOCAL_BBS_CALL built as meant?");
		found++;
	}

	rewind(fp);
	MybbsRecord rec;
	for (uint64_t n = 0; n < w.records && read_mybbs_record(fp, &rec) == sizeof rec; n++)
		found += record_findings(fp, n, &rec, &w);
	fclose(fp);
	if (found == 0)
		puts("no findings");
	return found > 0 ? EXIT_FINDINGS : EXIT_CLEAN;
}

// Whether a record's callsign is call but for a suffix: one is the other
// followed by '-' or '/' and more, in either letter case.
bool suffix_of(const char *a, size_t alen, const char *b, size_t blen)
{
	if (alen > blen)
		return suffix_of(b, blen, a, alen);
	if (alen == blen)
		return false;
	return same_ignoring_case(a, b, alen) && (b[alen] == '-' || b[alen] == '/');
}

// Explains one answer after the table has been read for it. found and rec
// are what the module's scan gave.
void explain(FILE *fp, const char *call, bool found, const MybbsRecord *rec)
{
	size_t len = strlen(call);
	rewind(fp);
	MybbsRecord r;
	int got;
	uint64_t n = 0, decided = 0, again = 0;
	bool seen = false, has_again = false, has_case = false, has_suffix = false;
	uint64_t case_at = 0, suffix_at = 0;
	MybbsRecord case_rec{}, suffix_rec{}, again_rec{};
	for (; (got = read_mybbs_record(fp, &r)) == sizeof r; n++) {
		size_t rlen = call_length(&r);
		if (found) {
			// The record the scan returned is the first one equal
			// to it byte for byte; later ones with its callsign are
			// never read.
			if (!seen && memcmp(&r, rec, sizeof r) == 0) {
				seen = true;
				decided = n;
			} else if (seen && !has_again && rlen == call_length(rec) &&
				   memcmp(&r, rec, rlen) == 0) {
				has_again = true;
				again = n;
				again_rec = r;
			}
		} else if (rlen < sizeof r) {
			if (!has_case && rlen == len &&
			    same_ignoring_case(bytes_of(&r), call, len)) {
				has_case = true;
				case_at = n;
				case_rec = r;
			} else if (!has_suffix && suffix_of(bytes_of(&r), rlen, call, len)) {
				has_suffix = true;
				suffix_at = n;
				suffix_rec = r;
			}
		}
	}

	if (found && !seen) {
		puts("the record it found is gone: the table changed meanwhile");
		return;
	}
	if (found) {
		printf("record %llu, home BBS ", static_cast<unsigned long long>(decided));
		show_home(rec);
		if (!mybbs_home_is(rec, LOCAL_BBS_CALL)) {
			fputs(", not the local ", stdout);
			show(stdout, LOCAL_BBS_CALL);
		}
		if (has_again) {
			printf("; listed again in record %llu, home BBS ",
			       static_cast<unsigned long long>(again));
			show_home(&again_rec);
			fputs(", which is never read", stdout);
		}
		putchar_unlocked('\n');
		return;
	}
	fputs("not listed", stdout);
	if (has_case) {
		printf("; record %llu has ", static_cast<unsigned long long>(case_at));
		show_call(&case_rec);
		fputs(", in another letter case", stdout);
	} else if (has_suffix) {
		printf("; record %llu has ", static_cast<unsigned long long>(suffix_at));
		show_call(&suffix_rec);
		fputs(", which differs by a suffix", stdout);
	} else if (got > 0 && static_cast<size_t>(got) >= len &&
		   memcmp(bytes_of(&r), call, len) == 0 &&
		   (static_cast<size_t>(got) == len || bytes_of(&r)[len] == '\0')) {
		fputs("; it stands in the trailing fragment, which is never read", stdout);
	} else if (len >= sizeof r.call) {
		printf("; a callsign of %zu characters fits no well-formed record", len);
	}
	putchar_unlocked('\n');
}

int answer(char *const calls[], int n, bool listing)
{
	struct stat st;
	FILE *fp = open_table(&st);
	if (fp != nullptr && listing)
		list(fp);
	for (int i = 0; i < n; i++) {
		// The answers are the tools' own: the module's scan and home
		// test, on the same file.
		MybbsRecord rec;
		bool known = find_mybbs_record(table, calls[i], &rec);
		bool home = known && mybbs_home_is(&rec, LOCAL_BBS_CALL);
		show(stdout, calls[i]);
		printf(": ishome %d, isknown %d: ", home ? EXIT_YES : EXIT_NO,
		       known ? EXIT_YES : EXIT_NO);
		if (fp == nullptr)
			puts("the table cannot be read");
		else
			explain(fp, calls[i], known, &rec);
	}
	if (fp == nullptr)
		return EXIT_UNUSABLE;
	fclose(fp);
	return EXIT_CLEAN;
}

} // namespace

int main(int argc, char *argv[])
{
	bool listing = false;
	int c;
	// getopt's own messages would echo an option's bytes raw.
	opterr = 0;
	while ((c = getopt(argc, argv, ":f:l")) != -1) {
		switch (c) {
		case 'f':
			table = optarg;
			table_given = true;
			break;
		case 'l':
			listing = true;
			break;
		default:
			char opt = static_cast<char>(optopt);
			fputs(c == ':' ? "mybbs-check: option needs an argument: "
				       : "mybbs-check: unknown option: ",
			      stderr);
			show(stderr, &opt, 1);
			fputs("\nusage: mybbs-check [-l] [-f table] [callsign ...]\n", stderr);
			return EXIT_UNUSABLE;
		}
	}

	int status = EXIT_UNUSABLE;
	if (optind == argc) {
		status = report(listing);
	} else {
		status = answer(argv + optind, argc - optind, listing);
	}
	if (fflush(stdout) != 0 || ferror(stdout)) {
		fputs("mybbs-check: cannot write the report\n", stderr);
		return EXIT_UNUSABLE;
	}
	return status;
}
