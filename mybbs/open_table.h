// SPDX-License-Identifier: ISC
// The table module's own: how a table is opened, shared by the scan, which
// inlines it, and by open_mybbs_table in mybbs_walk.cpp, so that the two
// open by the same rules and ishome and isknown carry no second copy.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Only a regular file is a table: whatever else the path may name could
// block the reads, never end, or swallow input that is not ours, and merely
// opening it can act. A FIFO's open releases a writer that waits for a
// reader, and a serial port's raises its lines. So the path is looked at
// first and only a regular file is opened; the open file is looked at
// again, and must be that same file, so that anything swapped in between is
// refused too. The open neither waits nor takes a controlling terminal,
// should that swap bring something else. Another regular file in its place
// is a table that the BBS renamed over the old one meanwhile: that is looked
// at again, a few times at most. *st is what the path names: the open
// file's status once it is open.
static inline FILE *open_table(const char *path, struct stat *st)
{
	for (int looks = 0; looks < 3; looks++) {
		if (stat(path, st) != 0 || !S_ISREG(st->st_mode))
			return nullptr;
		int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
		if (fd < 0)
			return nullptr;
		const struct stat looked = *st;
		bool regular = fstat(fd, st) == 0 && S_ISREG(st->st_mode);
		if (regular && st->st_dev == looked.st_dev && st->st_ino == looked.st_ino) {
			FILE *fp = fdopen(fd, "rb");
			if (fp == nullptr)
				close(fd);
			return fp;
		}
		close(fd);
		if (!regular)
			return nullptr;
	}
	return nullptr;
}
