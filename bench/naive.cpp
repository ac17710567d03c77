// SPDX-License-Identifier: ISC
// naive CALLSIGN: the obvious scan, for comparison. One fread per record
// through the default stdio stream, strcmp on each, exit 1 if found.
#include <cstdio>
#include <cstring>

#include "mybbs_config.h"

int main(int argc, char *argv[])
{
	if (argc < 2)
		return 0;
	FILE *fp = fopen(MYBBS_PATH, "rb");
	if (fp == nullptr)
		return 0;
	char rec[21] = {};
	int found = 0;
	while (fread(rec, 20, 1, fp) == 1)
		if (strcmp(rec, argv[1]) == 0) {
			found = 1;
			break;
		}
	fclose(fp);
	return found;
}
