// SPDX-License-Identifier: ISC
// The home-BBS table: where it lies, what a record holds, and the one scan
// that both ishome and isknown make of it.
#pragma once

#include <cstdio>
struct stat; // <sys/stat.h>

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
// The stream reads through one static buffer: one scan at a time.
bool find_mybbs_record(const char *path, const char *call, MybbsRecord *rec);

// True if the record's home-BBS field begins with the five characters of
// bbs (ishome passes LOCAL_BBS_CALL). Whatever follows them is not looked at.
bool mybbs_home_is(const MybbsRecord *rec, const char *bbs);

// The rest is for mybbs-check, which reports on the whole table. It lives in
// mybbs_walk.cpp, so that ishome and isknown do not link it.

// Opens the table at path for reading, as find_mybbs_record does: only a
// regular file, and never waiting on a FIFO or device. Leaves in *st what
// the path names, as fstat found it on the open descriptor. Returns nullptr
// when that fails: st->st_mode is then 0, and errno says why, or it names
// something other than a regular file.
// The stream reads through one static buffer: one open table at a time.
FILE *open_mybbs_table(const char *path, struct stat *st);

// Reads the next record of a table opened by open_mybbs_table into *rec,
// ending the table where find_mybbs_record does. Returns sizeof *rec for a
// whole record. At the end of the table returns the length of the trailing
// fragment, 0 when there is none, with its bytes at the start of *rec; -1
// when a read failed.
int read_mybbs_record(FILE *fp, MybbsRecord *rec);
