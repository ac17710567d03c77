// SPDX-License-Identifier: ISC
// mybbs-check [-l] [-f TABLE] [CALLSIGN ...]: says in words what ishome and
// isknown answer about each callsign, and why; with no callsign, reports on
// the home-BBS table itself. For the people who run the BBS: ishome and
// isknown say nothing by design. Exits 0 when the table was read and nothing
// was found wrong, 1 when there are findings, 2 when the table cannot be used
// or on wrong usage.
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "check.h"
#include "mybbs_config.h"

static_assert(sizeof LOCAL_BBS_CALL - 1 == sizeof(MybbsRecord::homebbs),
	      "LOCAL_BBS_CALL must be five characters");

const char *table = MYBBS_PATH;
bool table_given = false;

void complain(const char *fmt, ...)
{
	va_list ap;
	va_start(ap, fmt);
	std::string what = vformat(fmt, ap);
	va_end(ap);
	fprintf(stderr, "mybbs-check: %s\n", what.c_str());
}

void unusable(const std::string &why)
{
	complain("%s: %s: ishome and isknown answer 0 to every callsign", quoted(table).c_str(),
		 why.c_str());
}

// Only when the module will not open the table is its path looked at again,
// to say why in the operator's terms. (In the meantime it may have changed.)
static std::string why_not(int open_errno)
{
	struct stat st;
	if (stat(table, &st) != 0) {
		if (errno == ENOENT)
			return "missing";
		if (errno == EACCES)
			return "cannot be reached by user " + user_name();
		return strerror(errno);
	}
	if (!S_ISREG(st.st_mode))
		return std::string("not a regular file but ") + file_kind(st.st_mode);
	if (open_errno == EACCES)
		return "not readable by user " + user_name();
	return open_errno != 0 ? strerror(open_errno) : "no longer a regular file";
}

FILE *open_or_say_why()
{
	errno = 0;
	FILE *fp = open_mybbs_table(table);
	if (fp == nullptr)
		unusable(why_not(errno));
	return fp;
}

// Reads the options; getopt's own messages would echo an option's bytes raw.
static int options(int argc, char *argv[], bool *listing)
{
	opterr = 0;
	for (int c; (c = getopt(argc, argv, ":f:l")) != -1;) {
		if (c == 'f') {
			table = optarg;
			table_given = true;
		} else if (c == 'l') {
			*listing = true;
		} else {
			char opt = static_cast<char>(optopt);
			complain("%s: %s", c == ':' ? "option needs an argument" : "unknown option",
				 quoted(std::string_view(&opt, 1)).c_str());
			fputs("usage: mybbs-check [-l] [-f table] [callsign ...]\n", stderr);
			return -1;
		}
	}
	return optind;
}

int main(int argc, char *argv[])
{
	bool listing = false;
	int first = options(argc, argv, &listing);
	if (first < 0)
		return EXIT_UNUSABLE;
	int status = first == argc ? report(listing)
				   : answer(argv + first, argc - first, listing);
	if (fflush(stdout) != 0 || ferror(stdout)) {
		complain("cannot write the report");
		return EXIT_UNUSABLE;
	}
	return status;
}
