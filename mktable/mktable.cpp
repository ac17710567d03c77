// SPDX-License-Identifier: ISC
// mktable TABLE [CALL[=HOME] ...]: writes a home-BBS table with one record
// per argument, in order, as the BBS would.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "table.h"

int main(int argc, char *argv[])
{
	if (argc < 2) {
		fputs("usage: mktable TABLE [CALL[=HOME] ...]\n", stderr);
		return 2;
	}
	std::vector<Record> records;
	for (int i = 2; i < argc; i++) {
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
	if (!write_table(argv[1], records)) {
		fprintf(stderr, "mktable: %s: %s\n", argv[1], strerror(errno));
		return 1;
	}
	return 0;
}
