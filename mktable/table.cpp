// SPDX-License-Identifier: ISC
#include "table.h"

#include <cassert>
#include <cstdio>

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

bool write_table(const std::string &path, const std::vector<Record> &records, std::string_view tail)
{
	// Write beside it and rename, as a careful writer would: a reader
	// never sees a half-written table.
	std::string tmp = path + ".new";
	FILE *fp = fopen(tmp.c_str(), "wb");
	if (fp == nullptr)
		return false;
	bool ok = true;
	for (const Record &r : records)
		ok = ok && fwrite(r.data(), r.size(), 1, fp) == 1;
	ok = ok && fwrite(tail.data(), 1, tail.size(), fp) == tail.size();
	ok = fclose(fp) == 0 && ok;
	return ok && rename(tmp.c_str(), path.c_str()) == 0;
}
