// SPDX-License-Identifier: ISC
// mktable [-f] TABLE [CALL[=HOME] ...]: writes a home-BBS table with one
// record per argument, in order, as the BBS would. It makes the table's
// directory if it is missing, and replaces an existing table only with -f:
// at the BBS's own path that table holds the BBS's users. It may run as
// root in a directory that the BBS's user can write, so it never writes
// through a name that another user could have planted (see write_table).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "table.h"

// mkdir -p of the directory that holds path.
static bool make_parents(const std::string &path)
{
	for (size_t slash = path.find('/', 1); slash != std::string::npos;
	     slash = path.find('/', slash + 1))
		if (mkdir(path.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST)
			return false;
	return true;
}

// A table that exists is left as it is, and most likely the BBS's own.
static int exists(const std::string &table)
{
	fprintf(stderr,
		"mktable: %s exists, and may hold the BBS's users: left as it is.\n"
		"mktable: mybbs-check explains the tools' answers on it; for a table of your own, write it elsewhere and read it with mybbs-check -f.\n",
		table.c_str());
	return 1;
}

static int usage()
{
	fputs("usage: mktable [-f] TABLE [CALL[=HOME] ...]\n", stderr);
	return 2;
}

int main(int argc, char *argv[])
{
	bool force = false;
	for (int opt; (opt = getopt(argc, argv, "f")) != -1;) {
		if (opt != 'f')
			return usage();
		force = true;
	}
	if (optind >= argc)
		return usage();
	const std::string table = argv[optind];

	std::vector<Record> records;
	for (int i = optind + 1; i < argc; i++) {
		std::string_view arg = argv[i];
		size_t eq = arg.find('=');
		std::string_view call = arg.substr(0, eq);
		std::string_view home = eq == arg.npos ? "" : arg.substr(eq + 1);
		if (call.size() > 6 || home.size() > 13) {
			fprintf(stderr,
				"mktable: %s: callsign over 6 or home "
				"BBS over 13 characters\n",
				argv[i]);
			return 2;
		}
		records.push_back(record(call, home));
	}
	struct stat st;
	if (!force && lstat(table.c_str(), &st) == 0) // a link that leads nowhere too
		return exists(table);
	if (!make_parents(table) || !write_table(table, records, {}, force)) {
		if (errno == EEXIST && !force)
			return exists(table);
		fprintf(stderr, "mktable: %s: %s\n", table.c_str(), strerror(errno));
		return 1;
	}
	return 0;
}
