// SPDX-License-Identifier: ISC
// The home-BBS table: what a record holds, the one read that ends a table,
// and the scan that both ishome and isknown make of it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <sys/types.h>

// Exit status of both programs: their only output. "Yes" is 1, the reverse
// of the usual convention, and every failure reads as "no".
enum { EXIT_NO = 0, EXIT_YES = 1 };

// One record, exactly as the BBS writes it. The table is a bare run of these,
// with no header; bytes after the last whole record form no record.
struct MybbsRecord {
	char call[7];	 // user callsign, NUL-terminated when well formed
	char homebbs[5]; // first five bytes of the home BBS's callsign
	char rest[8];	 // the rest of the home-BBS field and the BBS's own data
};
static_assert(sizeof(MybbsRecord) == 20, "a table record is 20 bytes");

// Scans the table at path, in file order, for the first record whose user
// callsign equals call, byte for byte. On a match leaves it in *rec and
// returns true. Returns false, with *rec undefined, when no record matches
// and on every failure: a table that cannot be opened or read, is not a
// regular file, or is empty. The table is opened read-only and closed again
// before the function returns.
bool find_mybbs_record(const char *path, const char *call, MybbsRecord *rec);

// The same scan on a table that is already open, from where its stream
// stands: find_mybbs_record's own, for mybbs-check to answer from the table
// it has open.
bool scan_mybbs_table(FILE *fp, const char *call, MybbsRecord *rec);

// True if the record's home-BBS field begins with the five characters of
// bbs (ishome passes LOCAL_BBS_CALL), whatever follows them; for a bbs of
// fewer characters, if the field holds exactly those. Only the field's five
// bytes are ever looked at.
bool mybbs_home_is(const MybbsRecord *rec, const char *bbs);

// What a read of a table's next record brought.
enum MybbsRead { MYBBS_RECORD, MYBBS_END, MYBBS_FAILED };

// Reads the next record of the table fp into *rec. This is where every
// reader of a table, the scan and mybbs-check alike, finds its end: at the
// read that sets the end-of-file indicator, whatever that read brought.
// The last whole record leaves the indicator clear and is a record; a
// trailing fragment sets it and is never one, though its bytes stand at the
// start of *rec. A failed read ends the table too, and what it left in *rec
// is never a record.
inline MybbsRead read_mybbs_record(FILE *fp, MybbsRecord *rec)
{
	// The programs have one thread, so the stream needs no locking.
	if (fread_unlocked(rec, sizeof *rec, 1, fp) == 1 && !feof_unlocked(fp) &&
	    !ferror_unlocked(fp))
		return MYBBS_RECORD;
	return ferror_unlocked(fp) ? MYBBS_FAILED : MYBBS_END;
}

// The rest is for mybbs-check, which reports on the whole table. It lives in
// mybbs_walk.cpp, so that ishome and isknown do not link it.

// What a table's path names, as the open of open_mybbs_table found it: in
// types that have one width in every program, however it sets its file
// offsets, as struct stat has not on 32-bit targets.
struct MybbsFile {
	mode_t mode; // 0 when the path names nothing that could be looked at
	uid_t owner;
	long long size;
};

// Opens the table at path for reading, as find_mybbs_record does: only a
// regular file, which is looked at before it is opened, so that nothing
// else is ever opened. Leaves in *file what the path names. Returns nullptr
// when that fails, or names something other than a regular file. Each
// stream has a buffer of its own, so that any number of tables may be open
// at once.
FILE *open_mybbs_table(const char *path, MybbsFile *file);

// The length of the trailing fragment, once read_mybbs_record has ended a
// table read from its start: 0 when there is none. Its bytes stand at the
// start of the record that the last read went into.
size_t mybbs_fragment_length(FILE *fp);
