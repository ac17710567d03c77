// SPDX-License-Identifier: ISC
// The table module's own: how a table is opened, shared by the scan, which
// inlines it, and by open_mybbs_table in mybbs_walk.cpp, so that the two
// open by the same rules and ishome and isknown carry no second copy.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Only a regular file is a table: whatever else the path may name (a FIFO, a
// terminal, /dev/zero, the caller's own standard input) could block the open
// or the reads, never end, or swallow input that is not ours. Opening
// without blocking and without taking a controlling terminal makes looking
// at such a thing harmless. *st is what fstat found, for a caller that
// wants to say why a path was refused.
static inline FILE *open_table(const char *path, struct stat *st)
{
	int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0)
		return nullptr;
	FILE *fp = nullptr;
	if (fstat(fd, st) == 0 && S_ISREG(st->st_mode))
		fp = fdopen(fd, "rb");
	if (fp == nullptr)
		close(fd);
	return fp;
}
