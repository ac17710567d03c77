// The real programs, built to read a table inside the build tree, answering
// as a script on the BBS host would see them: exit status and silence.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mybbs_config.h" // this build's MYBBS_PATH and LOCAL_BBS_CALL
#include "process.h"
#include "table.h"

namespace {

const std::string local = LOCAL_BBS_CALL;

// Clears whatever a previous case left at the table's path.
void remove_table()
{
	if (unlink(MYBBS_PATH) != 0 && errno == EISDIR)
		rmdir(MYBBS_PATH);
	rmdir(MYBBS_PATH);
}

void table(const std::vector<Record> &records, std::string_view tail = {})
{
	remove_table();
	ASSERT_TRUE(write_table(MYBBS_PATH, records, tail));
}

// Runs a program (and its arguments), checks that it printed nothing, and
// returns its exit status.
int ask(std::vector<std::string> argv)
{
	Outcome o = run(argv);
	EXPECT_EQ(o.out, "") << argv[0];
	EXPECT_EQ(o.err, "") << argv[0];
	return o.status;
}

int ishome(std::vector<std::string> args)
{
	args.insert(args.begin(), ISHOME);
	return ask(args);
}

int isknown(std::vector<std::string> args)
{
	args.insert(args.begin(), ISKNOWN);
	return ask(args);
}

struct Case {
	const char *what;
	std::vector<Record> records;
	std::string tail;
	std::vector<std::string> args;
	int ishome, isknown;
};

TEST(EndToEnd, AnswersAsTheTableSays)
{
	const Record g4abc = record("G4ABC", local), dl1xyz = record("DL1XYZ", "DB0ABC"),
		     no_home = record("2E0AAA");
	const std::string fragment(g4abc.data(), 19);
	std::string flipped = local; // the local BBS in the other letter case
	for (char &c : flipped)
		c = static_cast<char>(islower(c) ? toupper(c) : tolower(c));
	const Case cases[] = {
		{"in the last whole record", {dl1xyz, g4abc}, "", {"G4ABC"}, 1, 1},
		{"listed with another home BBS", {g4abc, dl1xyz}, "", {"DL1XYZ"}, 0, 1},
		{"listed with an empty home BBS", {no_home}, "", {"2E0AAA"}, 0, 1},
		{"not listed", {g4abc, dl1xyz}, "", {"M0XYZ"}, 0, 0},
		{"only in a trailing fragment", {dl1xyz}, fragment, {"G4ABC"}, 0, 0},
		{"empty table", {}, "", {"G4ABC"}, 0, 0},
		{"first of two records decides", {dl1xyz, record("DL1XYZ", local)}, "",
		 {"DL1XYZ"}, 0, 1},
		{"first of two records decides, local", {g4abc, record("G4ABC", "DB0ABC")},
		 "", {"G4ABC"}, 1, 1},
		{"other letter case", {g4abc}, "", {"g4abc"}, 0, 0},
		{"suffix", {g4abc}, "", {"G4ABC-1"}, 0, 0},
		{"seven characters", {record("G4ABCD", local)}, "", {"G4ABCDE"}, 0, 0},
		{"empty argument, record with empty callsign", {g4abc, record("", local)},
		 "", {""}, 1, 1},
		{"empty argument, none with empty callsign", {g4abc}, "", {""}, 0, 0},
		{"home BBS followed by a tail", {record("M0XYZ", local + ".#23.GBR")}, "",
		 {"M0XYZ"}, 1, 1},
		{"home BBS of four characters", {record("M0XYZ", local.substr(0, 4))}, "",
		 {"M0XYZ"}, 0, 1},
		{"home BBS in other letter case", {record("M0XYZ", flipped)}, "", {"M0XYZ"},
		 flipped == local ? 1 : 0, 1},
		{"only the first argument counts", {g4abc, dl1xyz}, "", {"DL1XYZ", "G4ABC"},
		 0, 1},
		{"only the first argument counts, local", {g4abc, dl1xyz}, "",
		 {"G4ABC", "DL1XYZ"}, 1, 1},
		{"a 100,000-character argument", {g4abc}, "", {std::string(100000, 'G')}, 0, 0},
	};

	for (const Case &c : cases) {
		SCOPED_TRACE(c.what);
		table(c.records, c.tail);
		EXPECT_EQ(ishome(c.args), c.ishome);
		EXPECT_EQ(isknown(c.args), c.isknown);
	}
}

TEST(EndToEnd, TableThatCannotBeReadIsNo)
{
	remove_table();
	EXPECT_EQ(ishome({"G4ABC"}), 0) << "missing table";
	EXPECT_EQ(isknown({"G4ABC"}), 0) << "missing table";
	EXPECT_EQ(isknown({""}), 0) << "missing table";

	ASSERT_EQ(mkdir(MYBBS_PATH, 0755), 0);
	EXPECT_EQ(ishome({""}), 0) << "directory";
	EXPECT_EQ(isknown({""}), 0) << "directory";
	remove_table();
}

// Root reads any file, so as root the programs run without the two
// capabilities that override file modes. A readable table first proves they
// reach it that way, so that the 0 after it comes from the mode alone.
TEST(EndToEnd, TableWithoutReadPermissionIsNo)
{
	std::vector<std::string> as;
	if (geteuid() == 0)
		as = {"setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"};
	auto both = [&](const std::string &call) {
		std::vector<std::string> h = as, k = as;
		h.insert(h.end(), {ISHOME, call});
		k.insert(k.end(), {ISKNOWN, call});
		return std::make_pair(ask(h), ask(k));
	};

	table({record("G4ABC", local)});
	ASSERT_EQ(both("G4ABC"), std::make_pair(1, 1));
	ASSERT_EQ(chmod(MYBBS_PATH, 0), 0);
	EXPECT_EQ(both("G4ABC"), std::make_pair(0, 0));
	remove_table();
}

// What the programs did to the table, as inotify saw it.
uint32_t table_events(const std::vector<std::string> &argv)
{
	int fd = inotify_init1(IN_NONBLOCK);
	EXPECT_GE(fd, 0);
	EXPECT_GE(inotify_add_watch(fd, MYBBS_PATH, IN_ALL_EVENTS), 0);
	EXPECT_EQ(ask(argv), argv.size() > 1 ? 1 : 0);

	uint32_t mask = 0;
	alignas(inotify_event) char buf[4096];
	ssize_t n;
	while ((n = read(fd, buf, sizeof buf)) > 0)
		for (char *p = buf; p < buf + n;) {
			auto *ev = reinterpret_cast<inotify_event *>(p);
			mask |= ev->mask;
			p += sizeof *ev + ev->len;
		}
	close(fd);
	return mask;
}

TEST(EndToEnd, OpensTheTableReadOnlyAndOnlyWhenAsked)
{
	table({record("G4ABC", local)});
	for (const char *prog : {ISHOME, ISKNOWN}) {
		SCOPED_TRACE(prog);
		EXPECT_EQ(table_events({prog}), 0u) << "opened without an argument";

		uint32_t mask = table_events({prog, "G4ABC"});
		EXPECT_TRUE(mask & IN_OPEN);
		EXPECT_TRUE(mask & IN_CLOSE_NOWRITE);
		EXPECT_FALSE(mask & (IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB));
	}
}

} // namespace
