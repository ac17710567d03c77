// SPDX-License-Identifier: ISC
// mktable [-f] TABLE [CALL[=HOME] ...]: writes a home-BBS table with one
// record per argument, in order, as the BBS would. It makes the table's
// directory if it is missing, and replaces an existing table only with -f:
// at the BBS's own path that table holds the BBS's users.
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
	if (!force && access(table.c_str(), F_OK) == 0) {
		fprintf(stderr, "mktable: %s exists; -f replaces it\n", table.c_str());
		return 1;
	}
	if (!make_parents(table) || !write_table(table, records)) {
		fprintf(stderr, "mktable: %s: %s\n", table.c_str(), strerror(errno));
		return 1;
	}
	return 0;
}
