// SPDX-License-Identifier: ISC
// The table module's part for mybbs-check alone: a table opened to be read
// whole, and what its end leaves.
#include "mybbs.h"
#include "open_table.h"

FILE *open_mybbs_table(const char *path, MybbsFile *file)
{
	struct stat st = {};
	FILE *fp = open_table(path, &st);
	file->mode = st.st_mode;
	file->owner = st.st_uid;
	file->size = st.st_size;
	return fp;
}

size_t mybbs_fragment_length(FILE *fp)
{
	// The read that ended the table took in the fragment, so the stream
	// stands at the table's end: past its whole records, by the fragment.
	off_t end = ftello(fp);
	return end < 0 ? 0 : static_cast<size_t>(end % off_t{sizeof(MybbsRecord)});
}
