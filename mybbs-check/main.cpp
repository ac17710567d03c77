// SPDX-License-Identifier: ISC
// mybbs-check [-l] [-f TABLE] [CALLSIGN ...]: its options, and where it opens
// the table. Exits 0 when the table was read and nothing was found wrong, 1
// when there are findings, 2 when the table cannot be used or on wrong usage.
#include <cerrno>
#include <err.h>

#include "check.h"

static_assert(sizeof LOCAL_BBS_CALL - 1 == sizeof(MybbsRecord::homebbs),
	      "LOCAL_BBS_CALL must be five characters");

const char *table = MYBBS_PATH;
bool table_given = false;

void unusable(const std::string &why)
{
	warnx("%s: %s: ishome and isknown answer 0 to every callsign", quoted(table).c_str(),
	      why.c_str());
}

// Why the module would not open the table, in the operator's terms: only
// then is its path looked at again.
static std::string why_not(int open_errno)
{
	struct stat st;
	if (stat(table, &st) != 0)
		return errno == ENOENT	 ? "missing"
		       : errno == EACCES ? "cannot be reached by user " + user_name()
					 : strerror(errno);
	if (!S_ISREG(st.st_mode))
		return std::string("not a regular file but ") + file_kind(st.st_mode);
	if (open_errno == EACCES)
		return "not readable by user " + user_name();
	return open_errno != 0 ? strerror(open_errno) : "changed while it was opened";
}

FILE *open_or_say_why()
{
	errno = 0; // which the module leaves alone for what is not a regular file
	FILE *fp = open_mybbs_table(table);
	if (fp == nullptr)
		unusable(why_not(errno));
	return fp;
}

int main(int argc, char *argv[])
{
	bool listing = false;
	opterr = 0; // getopt's own messages would echo an option's bytes raw
	for (int c; (c = getopt(argc, argv, ":f:l")) != -1;) {
		if (c == 'f') {
			table = optarg;
			table_given = true;
		} else if (c == 'l') {
			listing = true;
		} else {
			char opt = static_cast<char>(optopt);
			warnx("%s: %s", c == ':' ? "option needs an argument" : "unknown option",
			      quoted({&opt, 1}).c_str());
			fputs("usage: mybbs-check [-l] [-f table] [callsign ...]\n", stderr);
			return EXIT_UNUSABLE;
		}
	}
	int status =
		optind == argc ? report(listing) : answer(argv + optind, argc - optind, listing);
	if (fflush(stdout) != 0 || ferror(stdout)) {
		warnx("cannot write the report");
		return EXIT_UNUSABLE;
	}
	return status;
}
