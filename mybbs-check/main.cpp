// SPDX-License-Identifier: ISC
// mybbs-check [-l] [-f TABLE] [CALLSIGN ...]: reports on the table, or
// explains each callsign's answers. Exits 0 when all is well, 1 on findings,
// 2 when the table cannot be used or read, on wrong usage, when memory runs
// out, and on a failed write.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

#include "check.h"

// Why the tools would not open the table, in the operator's terms, from
// what the path is now: what it names if not a regular file, or that the
// file cannot be read; or, where it names nothing, the name on the way that
// cannot be found or searched.
static std::string refusal_of(const char *path)
{
	struct stat st;
	if (stat(path, &st) != 0) {
		int err = errno;
		std::string why = walk_path(path, [](const std::string &, const struct stat &) {});
		return why.empty() ? strerror(err) : why;
	}
	if (!S_ISREG(st.st_mode))
		return std::string("not a regular file but ") + file_kind(st.st_mode);
	int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd >= 0) {
		close(fd);
		return "it was replaced while it was opened";
	}
	return errno == EACCES ? "not readable by user " + user_name() : strerror(errno);
}

// Reads the open table once, to its end, through the tools' own read: its
// whole records and its fragment into t->bytes, which grows with what is
// read, never with the size the file claims. A read that fails leaves no
// bytes, and says after which record.
static void read_whole(Table *t, FILE *fp)
{
	MybbsRecord rec;
	MybbsRead got;
	while ((got = read_mybbs_record(fp, &rec)) == MYBBS_RECORD)
		t->bytes.append(reinterpret_cast<const char *>(&rec), sizeof rec);
	if (got == MYBBS_FAILED) {
		const char *err = strerror(errno);
		t->failure = records(*t) == 0
				     ? format("the table cannot be read: %s", err)
				     : format("the table cannot be read after record %zu: %s",
					      records(*t) - 1, err);
		std::string().swap(t->bytes);
		return;
	}
	t->bytes.append(reinterpret_cast<const char *>(&rec), mybbs_fragment_length(fp));
}

// Whatever allocation fails, a table too large for this process's memory
// is said to be so, not taken for an answer.
static void out_of_memory()
{
	complain("out of memory");
	_exit(EXIT_UNUSABLE);
}

int main(int argc, char *argv[])
{
	std::set_new_handler(out_of_memory);
	const char *path = table_path;
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
			complain("%s: %s", c == ':' ? "option needs an argument" : "unknown option",
				 quoted({&opt, 1}).c_str());
			fputs("usage: mybbs-check [-l] [-f table] [callsign ...]\n", stderr);
			return EXIT_UNUSABLE;
		}
	}
	Table t = {path, given};
	if (FILE *fp = open_mybbs_table(path, &t.file)) {
		read_whole(&t, fp);
		fclose(fp);
	} else {
		t.refusal = refusal_of(path);
	}
	int status = optind == argc ? report(t, listing)
				    : explain(t, argv + optind, argc - optind, listing);
	if (fflush(stdout) != 0 || ferror(stdout)) {
		complain("cannot write the report");
		return EXIT_UNUSABLE;
	}
	return status;
}
