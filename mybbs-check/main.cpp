// SPDX-License-Identifier: ISC
// mybbs-check [-l] [-f TABLE] [CALLSIGN ...]: reports on the table, or
// explains each callsign's answers. Exits 0 when all is well, 1 on findings,
// 2 when the table cannot be used, on wrong usage, and on a failed write.
#include <cerrno>
#include <cstring>
#include <err.h>
#include <fcntl.h>
#include <libgen.h>
#include <unistd.h>

#include "check.h"

// Why the module would not open the table, in the operator's terms, from what
// its open found alone: what the path names, or open's errno. Whether the
// table's directory can be searched tells unreadable from unreachable.
static std::string refusal_of(const char *path, const MybbsFile &file, int err)
{
	if (file.mode != 0)
		return std::string("not a regular file but ") + file_kind(file.mode);
	if (err == ENOENT)
		return "missing";
	if (err != EACCES)
		return strerror(err);
	bool reached =
		faccessat(AT_FDCWD, dirname(std::string(path).data()), X_OK, AT_EACCESS) == 0;
	return (reached ? "not readable by user " : "cannot be reached by user ") + user_name();
}

int main(int argc, char *argv[])
{
	const char *path = MYBBS_PATH;
	bool given = false, listing = false;
	opterr = 0; // getopt's own messages would echo an option's bytes raw
	for (int c; (c = getopt(argc, argv, ":f:l")) != -1;) {
		if (c == 'f') {
			path = optarg;
			given = true;
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
	Table t = {path, given};
	t.fp = open_mybbs_table(path, &t.file);
	if (t.fp == nullptr)
		t.refusal = refusal_of(path, t.file, errno);
	int status = optind == argc ? report(t, listing)
				    : explain(t, argv + optind, argc - optind, listing);
	if (t.fp != nullptr)
		fclose(t.fp);
	if (fflush(stdout) != 0 || ferror(stdout)) {
		warnx("cannot write the report");
		return EXIT_UNUSABLE;
	}
	return status;
}
