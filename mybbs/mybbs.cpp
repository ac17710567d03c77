// SPDX-License-Identifier: ISC
// The table module: the scan of the home-BBS table for a callsign's first
// record, and the test of that record's home BBS, for ishome and isknown.
#include "mybbs.h"
#include "open_table.h"

#include <cstdio>
#include <cstring>

// A table past 2 GiB must be scanned, not refused with EOVERFLOW, on 32-bit
// targets too.
static_assert(sizeof(off_t) == 8, "the table module needs 64-bit file offsets");

// The stream's buffer, static so that no question allocates one. 16 KiB
// reads a 20 MB table in a quarter of the read calls of stdio's default
// 4 KiB, and larger buffers gain nothing measurable (bench/run).
static char stream_buffer[16384];

// A record's user callsign is the bytes before its first NUL, and a callsign
// of len characters can only equal it if byte len is that NUL. Looking there
// first keeps every read inside the record, and leaves a record with no NUL
// in its 20 bytes (or none at byte len) unequal to every callsign. The first
// byte rejects most records before anything else is looked at.
static bool call_equals(const MybbsRecord *rec, const char *call, size_t len)
{
	const auto *bytes = reinterpret_cast<const char *>(rec);

	return bytes[0] == call[0] && bytes[len] == '\0' && memcmp(bytes, call, len) == 0;
}

bool find_mybbs_record(const char *path, const char *call, MybbsRecord *rec)
{
	// A callsign as long as a record has no room for its NUL: nothing can
	// equal it, so don't read the table for it.
	size_t len = strnlen(call, sizeof *rec);
	if (len == sizeof *rec)
		return false;

	struct stat st;
	FILE *fp = open_table(path, &st);
	if (fp == nullptr)
		return false;
	setvbuf(fp, stream_buffer, _IOFBF, sizeof stream_buffer);

	// The programs have one thread, so the stream needs no locking.
	bool found = false;
	for (;;) {
		// The end-of-file indicator ends the table: the last whole record
		// leaves it clear and is compared; a trailing fragment sets it
		// and is not. A failed read (an I/O error) ends the scan too.
		// Either way the count falls short as well, and what a short
		// read left in the buffer is never compared.
		if (fread_unlocked(rec, sizeof *rec, 1, fp) != 1 || feof_unlocked(fp) ||
		    ferror_unlocked(fp))
			break;
		if (call_equals(rec, call, len)) {
			found = true;
			break;
		}
	}
	fclose(fp);
	return found;
}

bool mybbs_home_is(const MybbsRecord *rec, const char *bbs)
{
	// A NUL in the field before the fifth byte is a difference, since bbs
	// holds five characters and no NUL among them.
	return strncmp(rec->homebbs, bbs, sizeof rec->homebbs) == 0;
}
