// SPDX-License-Identifier: ISC
// The table scan and the home-BBS test, on tables written here.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "mybbs.h"
#include "table.h"

namespace
{

// A directory of this run's own under $TMPDIR, so that runs side by side,
// or by another user after this one, never meet on a name. Kept when a test
// fails, to be looked at.
class RunDir : public testing::Environment
{
public:
	std::string path;

	void SetUp() override
	{
		std::string name = testing::TempDir() + "mybbs_test.XXXXXX";
		ASSERT_NE(mkdtemp(name.data()), nullptr) << name << ": " << strerror(errno);
		path = name;
	}
	void TearDown() override
	{
		if (!path.empty() && testing::UnitTest::GetInstance()->Passed())
			std::filesystem::remove_all(path);
	}
};
// GoogleTest owns it once added.
RunDir *const run_dir = [] {
	auto *dir = new RunDir;
	testing::AddGlobalTestEnvironment(dir);
	return dir;
}();

// A table of the running test's own.
std::string table_path()
{
	return run_dir->path + "/" + testing::UnitTest::GetInstance()->current_test_info()->name() +
	       ".tab";
}

// The bytes of the record the scan found for call, or "" if none.
std::string find(const std::vector<Record> &records, std::string_view tail, const char *call)
{
	const std::string table = table_path();
	EXPECT_TRUE(write_table(table, records, tail));
	MybbsRecord rec;
	if (!find_mybbs_record(table.c_str(), call, &rec))
		return "";
	return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}

std::string bytes(const Record &r)
{
	return std::string(r.data(), r.size());
}

TEST(Scan, FindsFirstMatchInFileOrder)
{
	const Record a = record("G4ABC", "GB7AA"), b = record("DL1XYZ", "DB0ABC"),
		     again = record("G4ABC", "GB7ZZ");

	EXPECT_EQ(find({a, b, again}, {}, "G4ABC"), bytes(a));
	EXPECT_EQ(find({b, again, a}, {}, "G4ABC"), bytes(again));
	EXPECT_EQ(find({a, b}, {}, "DL1XYZ"), bytes(b)) << "last whole record";
	EXPECT_EQ(find({a, b}, {}, "M0AAA"), "");
	EXPECT_EQ(find({}, {}, "G4ABC"), "") << "empty table";
}

TEST(Scan, ComparesWholeCallsignsByteForByte)
{
	const std::vector<Record> t = {record("G4ABC", "GB7AA"), record("G4AB", "GB7AA")};

	for (const char *call :
	     {"g4abc", "G4ABC-1", "G4ABC ", " G4ABC", "G4A", "G4ABCD", "G4ABCDE", "G4ABC\t"})
		EXPECT_EQ(find(t, {}, call), "") << call;
	EXPECT_EQ(find(t, {}, "G4AB"), bytes(t[1]));
}

TEST(Scan, NeverComparesTrailingFragment)
{
	const Record a = record("G4ABC"), b = record("M0XYZ", "GB7AA");

	for (size_t n = 1; n < sizeof(Record); n++)
		EXPECT_EQ(find({a}, bytes(b).substr(0, n), "M0XYZ"), "") << n;
	EXPECT_EQ(find({a}, bytes(b), "M0XYZ"), bytes(b)) << "whole record";
}

TEST(Scan, EmptyCallsignMatchesFirstRecordStartingWithNul)
{
	const Record a = record("G4ABC"), empty = record("", "GB7AA");

	EXPECT_EQ(find({a, empty, record("")}, {}, ""), bytes(empty));
	EXPECT_EQ(find({a}, {}, ""), "");
}

// A record is bytes the BBS wrote, not always what it meant to write. The
// callsign is the bytes before the first NUL, wherever that lies; a record
// with no NUL in its 20 bytes equals no callsign at all.
TEST(Scan, MalformedRecordsStayWithinTheRecord)
{
	const std::string abc = "ABCDEFGHIJKLMNOPQRST";
	const Record spill = raw_record("G4ABCDEFGH"), // NUL at byte 10
		nul19 = raw_record(abc.substr(0, 19)), // NUL in the last byte
		full = raw_record(abc),		       // no NUL
		later = record("ABCDEF");
	const struct {
		std::vector<Record> records;
		std::string call;
		std::string found;
	} cases[] = {
		{{spill}, "G4ABCDEFGH", bytes(spill)},
		{{spill}, "G4ABCD", ""},
		{{nul19}, abc.substr(0, 19), bytes(nul19)},
		{{nul19}, abc.substr(0, 18), ""},
		{{nul19}, abc, ""},
		{{nul19}, abc + "U", ""},
		{{full, later}, abc.substr(0, 19), ""},
		{{full, later}, abc, ""},
		{{full, later}, "ABCDEF", bytes(later)},
		{{full}, abc + "U", ""},
		{{full}, std::string(100000, 'A'), ""},
	};

	for (const auto &c : cases)
		EXPECT_EQ(find(c.records, {}, c.call.c_str()), c.found)
			<< c.call.size() << " characters: " << c.call.substr(0, 21);
}

TEST(Scan, TableThatCannotBeReadIsNoRecord)
{
	MybbsRecord rec;
	const std::string table = table_path(), dir = table + ".dir";

	unlink(table.c_str());
	EXPECT_FALSE(find_mybbs_record(table.c_str(), "G4ABC", &rec));
	ASSERT_TRUE(mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST);
	EXPECT_FALSE(find_mybbs_record(dir.c_str(), "", &rec));
}

size_t open_descriptors()
{
	size_t n = 0;
	DIR *d = opendir("/proc/self/fd");
	while (d != nullptr && readdir(d) != nullptr)
		n++;
	if (d != nullptr)
		closedir(d);
	return n;
}

TEST(Scan, ClosesTheTableOnEveryPath)
{
	const Record a = record("G4ABC");
	const std::string table = table_path(), dir = table + ".dir", fifo = table + ".fifo";
	ASSERT_TRUE(mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST);
	ASSERT_TRUE(mkfifo(fifo.c_str(), 0600) == 0 || errno == EEXIST);
	const struct {
		const char *what;
		std::vector<Record> records;
		std::string tail;
		const char *call;
	} cases[] = {
		{"found", {a}, "", "G4ABC"},
		{"not found", {a}, "", "M0XYZ"},
		{"empty table", {}, "", "G4ABC"},
		{"trailing fragment", {a}, "M0XYZ", "M0XYZ"},
	};

	MybbsRecord rec;
	size_t before = open_descriptors();
	for (const auto &c : cases) {
		ASSERT_TRUE(write_table(table, c.records, c.tail));
		find_mybbs_record(table.c_str(), c.call, &rec);
		EXPECT_EQ(open_descriptors(), before) << c.what;
	}
	EXPECT_FALSE(find_mybbs_record(dir.c_str(), "G4ABC", &rec));
	EXPECT_EQ(open_descriptors(), before) << "a directory";
	EXPECT_FALSE(find_mybbs_record(fifo.c_str(), "G4ABC", &rec));
	EXPECT_EQ(open_descriptors(), before) << "a FIFO";
}

// Five characters are a prefix of the home BBS; fewer, the whole of it.
TEST(HomeBbs, ComparesTheFirstFiveBytesOfTheField)
{
	const struct {
		const char *bbs, *home;
		bool local;
	} cases[] = {
		{"GB7AA", "GB7AA", true},  {"GB7AA", "GB7AA.#23.GBR", true},
		{"GB7AA", "GB7AAX", true}, {"GB7AA", "GB7A", false},
		{"GB7AA", "gb7aa", false}, {"GB7AA", "", false},
		{"GB7AA", "GB7AB", false}, {"GB7AA", "XGB7AA", false},
		{"W1AW", "W1AW", true},	   {"W1AW", "W1AWX", false},
		{"W1AW", "W1A", false},	   {"W1AW", "W1AW.#1", false},
	};

	for (const auto &c : cases) {
		Record r = record("G4ABC", c.home);
		MybbsRecord rec;
		memcpy(&rec, r.data(), sizeof rec);
		EXPECT_EQ(mybbs_home_is(&rec, c.bbs), c.local) << c.bbs << " " << c.home;
	}
}

} // namespace
