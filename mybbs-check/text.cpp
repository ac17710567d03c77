// SPDX-License-Identifier: ISC
// How bytes from the table or the command line are shown, and what in them
// would surprise a caller; the records listed, and every message.
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstring>
#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include "check.h"

std::string_view call_of(const MybbsRecord *rec)
{
	const auto *bytes = reinterpret_cast<const char *>(rec);
	return {bytes, strnlen(bytes, sizeof *rec)};
}

std::string_view home_of(const MybbsRecord *rec)
{
	const char *home = reinterpret_cast<const char *>(rec) + sizeof rec->call;
	return {home, strnlen(home, sizeof *rec - sizeof rec->call)};
}

// Only printable ASCII is shown as it is, and not the quote and backslash,
// which would make the rest ambiguous: no table can send a control sequence
// to the operator's terminal.
std::string quoted(std::string_view s)
{
	std::string q = "\"";
	for (char ch : s) {
		auto c = static_cast<unsigned char>(ch);
		q += c >= 0x20 && c < 0x7f && c != '"' && c != '\\' ? std::string(1, ch)
								    : format("\\x%02x", c);
	}
	return q + '"';
}

// Callsigns are upper-case letters, digits, '-' and '/'; ctype's C locale
// takes no byte past 0x7f for a letter, digit or control byte.
std::string unusual_bytes(std::string_view s)
{
	static const char *const names[] = {"lower case", "blanks", "control bytes",
					    "other unusual bytes"};
	bool has[4] = {};
	for (char ch : s) {
		auto c = static_cast<unsigned char>(ch);
		if (!isupper(c) && !isdigit(c) && c != '-' && c != '/')
			has[islower(c) ? 0 : c == ' ' ? 1 : iscntrl(c) ? 2 : 3] = true;
	}
	std::string what;
	for (int i = 0; i < 4; i++)
		if (has[i])
			what += (what.empty() ? "" : ", ") + std::string(names[i]);
	return what;
}

bool same_ignoring_case(std::string_view a, std::string_view b)
{
	return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

const char *file_kind(mode_t mode)
{
	static const std::pair<mode_t, const char *> kinds[] = {
		{S_IFREG, "a regular file"}, {S_IFDIR, "a directory"},
		{S_IFIFO, "a FIFO"},	     {S_IFCHR, "a character device"},
		{S_IFBLK, "a block device"}, {S_IFSOCK, "a socket"}};
	for (auto [type, kind] : kinds)
		if ((mode & S_IFMT) == type)
			return kind;
	return "not a regular file";
}

std::string user_name()
{
	const passwd *pw = getpwuid(geteuid());
	return format("%s (uid %u)", quoted(pw != nullptr ? pw->pw_name : "?").c_str(), geteuid());
}

// printf-style, so that the compiler checks each format against its arguments.
std::string format(const char *fmt, ...) // NOLINT(cert-dcl50-cpp)
{
	va_list ap;
	va_start(ap, fmt);
	// NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start is just above
	std::string s(static_cast<size_t>(std::max(vsnprintf(nullptr, 0, fmt, ap), 0)), '\0');
	va_end(ap);
	va_start(ap, fmt);
	vsnprintf(s.data(), s.size() + 1, fmt, ap);
	va_end(ap);
	return s;
}

void complain(const char *fmt, ...) // NOLINT(cert-dcl50-cpp)
{
	fflush(stdout); // what came before it, first
	// Under its own name: argv[0] is a byte string from the command line.
	fputs("mybbs-check: ", stderr);
	va_list ap;
	va_start(ap, fmt);
	// NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start is just above
	vfprintf(stderr, fmt, ap);
	va_end(ap);
	fputc('\n', stderr);
}

void unusable(const Table &t)
{
	if (!t.refusal.empty())
		complain("%s: %s: ishome and isknown answer 0 to every callsign",
			 quoted(t.path).c_str(), t.refusal.c_str());
	else
		complain("%s: %s", quoted(t.path).c_str(), t.failure.c_str());
}

void list(const Table &t)
{
	for (uintmax_t n = 0; n < records(t); n++) {
		const MybbsRecord *rec = record_at(t, n);
		printf("  record %ju: callsign %s home BBS %s\n", n, quoted(call_of(rec)).c_str(),
		       quoted(home_of(rec)).c_str());
	}
	if (!fragment_of(t).empty())
		printf("  fragment: %s (never read)\n", quoted(fragment_of(t)).c_str());
}
