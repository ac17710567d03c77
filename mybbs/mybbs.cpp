// SPDX-License-Identifier: ISC
// The table module: the scan of the home-BBS table for a callsign's first
// record, and the test of that record's home BBS, for ishome and isknown.
#include "mybbs.h"
#include "open_table.h"

#include <cstring>

// A table past 2 GiB must be scanned, not refused with EOVERFLOW, on 32-bit
// targets too.
static_assert(sizeof(off_t) == 8, "the table module needs 64-bit file offsets");

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

// Whether a callsign leaves room for its NUL in a record: else nothing can
// equal it.
static bool fits_a_record(const char *call)
{
	return strnlen(call, sizeof(MybbsRecord)) < sizeof(MybbsRecord);
}

bool scan_mybbs_table(FILE *fp, const char *call, MybbsRecord *rec)
{
	size_t len = strnlen(call, sizeof *rec);
	if (len == sizeof *rec) // as !fits_a_record(call), in one look
		return false;
	while (read_mybbs_record(fp, rec) == MYBBS_RECORD)
		if (call_equals(rec, call, len))
			return true;
	return false;
}

bool find_mybbs_record(const char *path, const char *call, MybbsRecord *rec)
{
	if (!fits_a_record(call)) // so don't even open the table
		return false;
	struct stat st;
	FILE *fp = open_table(path, &st);
	if (fp == nullptr)
		return false;
	// A buffer of its own, so that no question allocates one. 16 KiB
	// reads a 20 MB table in a quarter of the read calls of stdio's
	// default 4 KiB, and larger buffers gain nothing measurable
	// (bench/run). It is static, not on the stack, so that the programs
	// answer at a stack limit as small as any program starts at; the
	// stream is opened and closed within this call, so no two ever share
	// it.
	static char buffer[16384];
	setvbuf(fp, buffer, _IOFBF, sizeof buffer);
	bool found = scan_mybbs_table(fp, call, rec);
	fclose(fp);
	return found;
}

bool mybbs_home_is(const MybbsRecord *rec, const char *bbs)
{
	// At most the field's five bytes, and no further than bbs's own NUL:
	// a bbs of five characters is a prefix, whatever follows it in the
	// field, and a NUL in the field before its fifth byte is a difference;
	// a shorter bbs must meet a NUL in the field just where it ends.
	return strncmp(rec->homebbs, bbs, sizeof rec->homebbs) == 0;
}
