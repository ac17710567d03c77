// SPDX-License-Identifier: ISC
// libFuzzer target: the table scan, the home-BBS test, and the read that
// ends a table for every reader of it, against a model that says the rules
// in the plainest way.
//
// Input: one byte n, then a callsign of n % 25 bytes (cut at a NUL, as an
// argument would be), then the table's bytes. The table is a memfd the
// scan opens by its /proc path, so each run costs no disk.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "mybbs.h"

namespace
{

constexpr char local[] = "GB7AA";
constexpr size_t record_size = sizeof(MybbsRecord);

// The first whole record, in file order, whose bytes before its first NUL
// are the callsign; a record with no NUL is nobody's. nullptr if none.
const uint8_t *model_find(const uint8_t *table, size_t size, const char *call)
{
	for (size_t at = 0; size - at >= record_size; at += record_size) {
		const uint8_t *r = table + at;
		const char *field = reinterpret_cast<const char *>(r);
		const void *nul = memchr(field, 0, record_size);
		if (nul != nullptr && strcmp(field, call) == 0)
			return r;
	}
	return nullptr;
}

// Bytes 7 to 11 are the local BBS's five characters.
bool model_home(const uint8_t *r)
{
	for (size_t i = 0; i < 5; i++)
		if (r[7 + i] != static_cast<uint8_t>(local[i]))
			return false;
	return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	static int memfd = memfd_create("mybbs.tab", 0);
	static const std::string path = "/proc/self/fd/" + std::to_string(memfd);
	if (memfd < 0)
		abort();
	if (size == 0)
		return 0;

	size_t n = data[0] % 25;
	if (size - 1 < n)
		return 0;
	const std::string call(reinterpret_cast<const char *>(data + 1), n);
	const uint8_t *table = data + 1 + n;
	size_t table_size = size - 1 - n;

	if (ftruncate(memfd, 0) != 0 ||
	    pwrite(memfd, table, table_size, 0) != static_cast<ssize_t>(table_size))
		abort();

	MybbsRecord rec;
	bool found = find_mybbs_record(path.c_str(), call.c_str(), &rec);
	const uint8_t *want = model_find(table, table_size, call.c_str());

	if (found != (want != nullptr))
		abort();
	if (found && (memcmp(&rec, want, record_size) != 0 ||
		      mybbs_home_is(&rec, local) != model_home(want)))
		abort();

	// Read whole, as mybbs-check reads it: every whole record in order,
	// then the end, with the trailing fragment's bytes.
	MybbsFile file;
	FILE *fp = open_mybbs_table(path.c_str(), &file);
	if (fp == nullptr || file.size != static_cast<long long>(table_size))
		abort();
	size_t at = 0;
	MybbsRead got;
	for (; (got = read_mybbs_record(fp, &rec)) == MYBBS_RECORD; at += record_size)
		if (table_size - at < record_size || memcmp(&rec, table + at, record_size) != 0)
			abort();
	size_t fragment = mybbs_fragment_length(fp);
	if (got != MYBBS_END || table_size - at >= record_size || fragment != table_size - at ||
	    memcmp(&rec, table + at, fragment) != 0)
		abort();
	fclose(fp);
	return 0;
}
