// SPDX-License-Identifier: ISC
// The table module as any program sees it through mybbs.h alone, built
// with none of the project's options, not even a C++ standard: on a 32-bit
// target, without 64-bit file offsets, what the module says of a table
// must still arrive whole. Two tables open at once, read in turns, must
// each read right.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "mybbs.h"
#include "process.h"

namespace
{

// A table of n records, the first all bytes first, the next all first + 1
// and so on, and a trailing fragment of tail bytes.
std::string table(int n, size_t tail, unsigned char first)
{
	std::string bytes;
	for (int i = 0; i < n; i++)
		bytes.append(sizeof(MybbsRecord), static_cast<char>(first + i));
	return bytes.append(tail, 'z');
}

using Header = InDir;

TEST_F(Header, TwoTablesAtOnce)
{
	// The second fills a stream's buffer, and again, while the first is read.
	const std::string bytes[2] = {table(3, 7, 'a'), table(1200, 0, 'A')};
	FILE *fp[2];
	MybbsFile file[2];
	std::string path[2];
	for (int t = 0; t < 2; t++) {
		path[t] = std::string(dir) + "/" + std::to_string(t) + ".tab";
		FILE *out = fopen(path[t].c_str(), "wb");
		ASSERT_NE(out, nullptr);
		ASSERT_EQ(fwrite(bytes[t].data(), 1, bytes[t].size(), out), bytes[t].size());
		ASSERT_EQ(fclose(out), 0);
		ASSERT_EQ(chmod(path[t].c_str(), 0640), 0);
		fp[t] = open_mybbs_table(path[t].c_str(), &file[t]);
		ASSERT_NE(fp[t], nullptr);
		EXPECT_EQ(file[t].mode, S_IFREG | 0640);
		EXPECT_EQ(file[t].owner, geteuid());
		EXPECT_EQ(file[t].size, static_cast<long long>(bytes[t].size()));
	}

	MybbsRecord rec;
	size_t at[2] = {0, 0};
	for (int turn = 0; at[0] < bytes[0].size() || at[1] < bytes[1].size(); turn++) {
		int t = turn % 2;
		if (at[t] >= bytes[t].size())
			continue;
		size_t left = bytes[t].size() - at[t];
		MybbsRead got = read_mybbs_record(fp[t], &rec);
		if (left >= sizeof rec) {
			ASSERT_EQ(got, MYBBS_RECORD) << "table " << t << " at " << at[t];
			EXPECT_EQ(std::string(reinterpret_cast<char *>(&rec), sizeof rec),
				  bytes[t].substr(at[t], sizeof rec))
				<< "table " << t << " at " << at[t];
			at[t] += sizeof rec;
		} else {
			ASSERT_EQ(got, MYBBS_END) << "table " << t;
			EXPECT_EQ(mybbs_fragment_length(fp[t]), left) << "table " << t;
			at[t] = bytes[t].size();
		}
	}
	// The second table ends on a whole record: the read after it ends it.
	EXPECT_EQ(read_mybbs_record(fp[1], &rec), MYBBS_END);
	EXPECT_EQ(mybbs_fragment_length(fp[1]), 0U);
	for (FILE *f : fp)
		fclose(f);
}

} // namespace
