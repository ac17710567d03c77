// SPDX-License-Identifier: ISC
#include "table.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Record record(std::string_view call, std::string_view home)
{
	assert(call.size() <= 6 && home.size() <= 13);
	Record r{};
	call.copy(r.data(), call.size());
	home.copy(r.data() + 7, home.size());
	return r;
}

Record raw_record(std::string_view bytes)
{
	assert(bytes.size() <= 20);
	Record r{};
	bytes.copy(r.data(), bytes.size());
	return r;
}

static bool write_all(int fd, std::string_view bytes)
{
	while (!bytes.empty()) {
		ssize_t n = write(fd, bytes.data(), bytes.size());
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			return false;
		bytes.remove_prefix(static_cast<size_t>(n));
	}
	return true;
}

// Without replace, the new table takes the name only if nothing has it:
// rename's RENAME_NOREPLACE, or a hard link where the filesystem lacks it.
static bool move_into_place(const char *from, const char *to, bool replace)
{
	if (replace)
		return rename(from, to) == 0;
	if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
		return true;
	return errno == EINVAL && link(from, to) == 0 && unlink(from) == 0;
}

bool write_table(const std::string &path, const std::vector<Record> &records, std::string_view tail,
		 bool replace)
{
	// The new table is written under a name of its own beside the old,
	// made with O_EXCL, so that nothing planted under a name it might take
	// (a link, by a user who can write the directory) is ever written
	// through. It reaches the disk before it is renamed over the old, so
	// that a reader, or the host after a crash, finds one table or the
	// other, whole. A rename replaces a link at the table's name, never
	// what the link leads to.
	std::string tmp = path + ".XXXXXX";
	int fd = mkostemp(tmp.data(), O_CLOEXEC);
	if (fd < 0)
		return false;
	std::string bytes;
	for (const Record &r : records)
		bytes.append(r.data(), r.size());
	bytes.append(tail);
	// Readable by the BBS's user and its scripts, whoever writes it.
	bool ok = fchmod(fd, 0644) == 0 && write_all(fd, bytes) && fsync(fd) == 0;
	ok = close(fd) == 0 && ok;
	ok = ok && move_into_place(tmp.c_str(), path.c_str(), replace);
	if (!ok) {
		int err = errno; // what failed, not the unlink
		unlink(tmp.c_str());
		errno = err;
	}
	return ok;
}
