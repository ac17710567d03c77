// SPDX-License-Identifier: ISC
#include "mybbs.h"
#include "open_table.h"

// The walk's stream buffer, apart from the scan's, which may run while a
// table is open here. Handing stdio one spares it the fstat it takes to size
// a buffer of its own: the open's is the only look at the table.
static char walk_buffer[16384];

FILE *open_mybbs_table(const char *path, struct stat *st)
{
	*st = {};
	FILE *fp = open_table(path, st);
	if (fp != nullptr)
		setvbuf(fp, walk_buffer, _IOFBF, sizeof walk_buffer);
	else if (S_ISREG(st->st_mode))
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
