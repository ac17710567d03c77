// SPDX-License-Identifier: ISC
// How bytes from the table or the command line are shown, and what in them
// would surprise a caller.
#include <cstdarg>
#include <pwd.h>
#include <strings.h>

#include "check.h"

const char *bytes_of(const MybbsRecord *rec)
{
	return reinterpret_cast<const char *>(rec);
}

std::string_view call_of(const MybbsRecord *rec)
{
	return {bytes_of(rec), strnlen(bytes_of(rec), sizeof *rec)};
}

std::string_view home_of(const MybbsRecord *rec)
{
	const char *home = bytes_of(rec) + sizeof rec->call;
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

std::string awkward(std::string_view s)
{
	bool lower = false, blank = false, control = false, other = false;
	for (char ch : s) {
		auto c = static_cast<unsigned char>(ch);
		if (c >= 'a' && c <= 'z')
			lower = true;
		else if (c == ' ')
			blank = true;
		else if (c < 0x20 || c == 0x7f)
			control = true;
		else if (!(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') && c != '-' && c != '/')
			other = true;
	}
	std::string what;
	for (auto [has, name] :
	     {std::pair{lower, "lower case"}, std::pair{blank, "blanks"},
	      std::pair{control, "control bytes"}, std::pair{other, "other unusual bytes"}})
		if (has)
			what += (what.empty() ? "" : ", ") + std::string(name);
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
