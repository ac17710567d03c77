// SPDX-License-Identifier: ISC
// The table scan and the home-BBS test, on tables written here.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <unistd.h>

#include "mybbs.h"
#include "process.h"
#include "table.h"

namespace
{

std::string bytes(const Record &r)
{
	return std::string(r.data(), r.size());
}

auto open_descriptors()
{
	return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

using Scan = InDir;

// Each case: a table, the callsign asked for, and the bytes of the record
// the scan finds ("" for none). A record is the bytes the BBS wrote, not
// always what it meant: the callsign is the bytes before the first NUL,
// wherever that lies, and a record with no NUL in its 20 bytes is nobody's.
// Whatever the outcome, the table is closed again.
TEST_F(Scan, FindsTheFirstRecordWithTheCallsign)
{
	const Record a = record("G4ABC", "GB7AA"), b = record("DL1XYZ", "DB0ABC"),
		     again = record("G4ABC", "GB7ZZ"), ab = record("G4AB", "GB7AA"),
		     empty = record("", "GB7AA");
	const std::string abc = "ABCDEFGHIJKLMNOPQRST", m0xyz = bytes(record("M0XYZ", "GB7AA"));
	const Record spill = raw_record("G4ABCDEFGH"), // NUL at byte 10
		nul19 = raw_record(abc.substr(0, 19)), // NUL in the last byte
		full = raw_record(abc),		       // no NUL
		later = record("ABCDEF");
	const struct {
		std::vector<Record> records;
		std::string tail, call, found;
	} cases[] = {
		// clang-format off
		{{a, b, again}, "", "G4ABC", bytes(a)},
		{{b, again, a}, "", "G4ABC", bytes(again)},
		{{a, b}, "", "DL1XYZ", bytes(b)}, // the last whole record
		{{a, b}, "", "M0AAA", ""},
		{{}, "", "G4ABC", ""},
		{{a, ab}, "", "G4AB", bytes(ab)},
		{{a, ab}, "", "g4abc", ""}, {{a, ab}, "", "G4ABC-1", ""}, {{a, ab}, "", "G4ABC ", ""},
		{{a, ab}, "", " G4ABC", ""}, {{a, ab}, "", "G4A", ""}, {{a, ab}, "", "G4ABCD", ""},
		{{a, ab}, "", "G4ABCDE", ""}, {{a, ab}, "", "G4ABC\t", ""},
		{{a}, m0xyz.substr(0, 1), "M0XYZ", ""}, {{a}, m0xyz.substr(0, 19), "M0XYZ", ""},
		{{a}, m0xyz, "M0XYZ", m0xyz}, // a whole record, not a fragment
		{{a, empty, record("")}, "", "", bytes(empty)},
		{{a}, "", "", ""},
		{{spill}, "", "G4ABCDEFGH", bytes(spill)}, {{spill}, "", "G4ABCD", ""},
		{{nul19}, "", abc.substr(0, 19), bytes(nul19)}, {{nul19}, "", abc.substr(0, 18), ""},
		{{nul19}, "", abc, ""}, {{nul19}, "", abc + "U", ""},
		{{full, later}, "", abc.substr(0, 19), ""}, {{full, later}, "", abc, ""},
		{{full, later}, "", "ABCDEF", bytes(later)},
		{{full}, "", abc + "U", ""}, {{full}, "", std::string(100000, 'A'), ""},
		// clang-format on
	};

	const std::string table = dir + "/mybbs.tab";
	const auto descriptors = open_descriptors();
	for (const auto &c : cases) {
		SCOPED_TRACE(testing::Message()
			     << c.call.size() << " characters: " << c.call.substr(0, 21)
			     << ", tail of " << c.tail.size());
		ASSERT_TRUE(write_table(table, c.records, c.tail));
		MybbsRecord rec;
		bool found = find_mybbs_record(table.c_str(), c.call.c_str(), &rec);
		EXPECT_EQ(found ? std::string(reinterpret_cast<char *>(&rec), sizeof rec) : "",
			  c.found);
		EXPECT_EQ(open_descriptors(), descriptors);
	}
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
