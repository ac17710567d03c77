// SPDX-License-Identifier: ISC
#include "mybbs.h"
#include "open_table.h"

FILE *open_mybbs_table(const char *path, struct stat *st)
{
	*st = {};
	FILE *fp = open_table(path, st);
	if (fp == nullptr && S_ISREG(st->st_mode))
		st->st_mode = 0; // fdopen failed, as open might have: errno says why
	return fp;
}

int read_mybbs_record(FILE *fp, MybbsRecord *rec)
{
	// The table ends where the scan's does: at the read that sets the
	// end-of-file indicator, whatever it brought, which is the trailing
	// fragment. Until then every read brings a whole record.
	size_t n = fread_unlocked(rec, 1, sizeof *rec, fp);
	if (ferror_unlocked(fp))
		return -1;
	if (!feof_unlocked(fp))
		return sizeof *rec;
	return n < sizeof *rec ? static_cast<int>(n) : 0;
}
