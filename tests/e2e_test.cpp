// SPDX-License-Identifier: ISC
// The real programs, built to read a table inside the build tree, answering
// as a script on the BBS host would see them: exit status and silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <random>
#include <string>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "mybbs_config.h" // this build's MYBBS_PATH and LOCAL_BBS_CALL
#include "process.h"
#include "table.h"

#ifndef FUSE_SUPER_MAGIC // not in the kernel headers before Linux 5.11
#define FUSE_SUPER_MAGIC 0x65735546
#endif

namespace
{

const std::string local = LOCAL_BBS_CALL;

// Clears whatever a previous case left at the table's path: remove()
// takes a directory as well as a file, a link or a FIFO.
void remove_table()
{
	remove(MYBBS_PATH);
}

// The cases share the table path the programs were built with, inside the
// build tree; a case that passes leaves nothing there.
class EndToEnd : public testing::Test
{
protected:
	void TearDown() override
	{
		if (!HasFailure())
			remove_table();
	}
};

void table(const std::vector<Record> &records, std::string_view tail = {})
{
	remove_table();
	ASSERT_TRUE(write_table(MYBBS_PATH, records, tail));
}

// Runs prog with args (see command()), with stdin from the descriptor in
// (-1: /dev/null). Checks that it printed nothing, and returns its exit
// status.
int ask(const char *prog, const std::vector<std::string> &args,
	const std::vector<std::string> &as = {}, int in = -1)
{
	Outcome o = run(command(prog, args, as), in);
	EXPECT_EQ(o.out, "") << prog;
	EXPECT_EQ(o.err, "") << prog;
	return o.status;
}

// Both programs' answers to one callsign, run as ask() runs them.
std::pair<int, int> both(const std::string &call, const std::vector<std::string> &as = {},
			 int in = -1)
{
	return {ask(ISHOME, {call}, as, in), ask(ISKNOWN, {call}, as, in)};
}

int ishome(const std::vector<std::string> &args)
{
	return ask(ISHOME, args);
}
int isknown(const std::vector<std::string> &args)
{
	return ask(ISKNOWN, args);
}

struct Case {
	const char *what;
	std::vector<Record> records;
	std::string tail;
	std::vector<std::string> args;
	int ishome, isknown;
	std::vector<std::string> as = {}; // run under this, where no wrapper is
};

TEST_F(EndToEnd, AnswersAsTheTableSays)
{
	const Record g4abc = record("G4ABC", local), dl1xyz = record("DL1XYZ", "DB0ABC"),
		     no_home = record("2E0AAA");
	const std::string fragment(g4abc.data(), 19);
	std::string flipped = local; // the local BBS in the other letter case
	for (char &c : flipped)
		c = static_cast<char>(islower(c) ? toupper(c) : tolower(c));
	// clang-format off
	const Case cases[] = {
		{"in the last whole record", {dl1xyz, g4abc}, "", {"G4ABC"}, 1, 1},
		{"listed with another home BBS", {g4abc, dl1xyz}, "", {"DL1XYZ"}, 0, 1},
		{"listed with an empty home BBS", {no_home}, "", {"2E0AAA"}, 0, 1},
		{"not listed", {g4abc, dl1xyz}, "", {"M0XYZ"}, 0, 0},
		{"only in a trailing fragment", {dl1xyz}, fragment, {"G4ABC"}, 0, 0},
		{"empty table", {}, "", {"G4ABC"}, 0, 0},
		{"first of two decides", {dl1xyz, record("DL1XYZ", local)}, "", {"DL1XYZ"}, 0, 1},
		{"first of two decides, local", {g4abc, record("G4ABC", "DB0ABC")}, "", {"G4ABC"}, 1, 1},
		{"other letter case", {g4abc}, "", {"g4abc"}, 0, 0},
		{"suffix", {g4abc}, "", {"G4ABC-1"}, 0, 0},
		{"seven characters", {record("G4ABCD", local)}, "", {"G4ABCDE"}, 0, 0},
		{"empty argument, empty callsign listed", {g4abc, record("", local)}, "", {""}, 1, 1},
		{"empty argument, none listed", {g4abc}, "", {""}, 0, 0},
		{"home BBS and a tail", {record("M0XYZ", local + ".#23.GBR")}, "", {"M0XYZ"}, 1, 1},
		{"home BBS of four characters", {record("M0XYZ", local.substr(0, 4))}, "", {"M0XYZ"}, 0, 1},
		{"home BBS in other letter case", {record("M0XYZ", flipped)}, "", {"M0XYZ"},
		 flipped == local ? 1 : 0, 1},
		{"only the first argument counts", {g4abc, dl1xyz}, "", {"DL1XYZ", "G4ABC"}, 0, 1},
		{"only the first argument, local", {g4abc, dl1xyz}, "", {"G4ABC", "DL1XYZ"}, 1, 1},
		{"a 100,000-character argument", {g4abc}, "", {std::string(100000, 'G')}, 0, 0},
		// As small a stack as any program starts with here.
		{"a 16 KiB stack", {dl1xyz, g4abc}, "", {"G4ABC"}, 1, 1, {"sh", "-c", "ulimit -s 16 && exec \"$0\" \"$@\""}},
	};
	// clang-format on

	const char *wrapper = getenv("MYBBS_TEST_WRAPPER");
	for (const Case &c : cases) {
		SCOPED_TRACE(c.what);
		if (!c.as.empty() && wrapper != nullptr && *wrapper != '\0')
			continue; // the limit would be the wrapper's
		std::vector<std::string> empty_program = c.as;
		empty_program.emplace_back("true");
		if (!c.as.empty() && run(empty_program).status != 0)
			continue; // where even that does not start (a preloaded library)
		table(c.records, c.tail);
		EXPECT_EQ(ask(ISHOME, c.args, c.as), c.ishome);
		EXPECT_EQ(ask(ISKNOWN, c.args, c.as), c.isknown);
	}
}

TEST_F(EndToEnd, TableThatCannotBeReadIsNo)
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

// Whatever else the table path names, the programs answer 0 at once, in
// silence, and neither open nor read it: a FIFO's writer waits on, as it
// would for its reader; a device, or the caller's own input, is not read.
TEST_F(EndToEnd, OnlyARegularFileIsATable)
{
	const auto no = std::make_pair(0, 0);

	remove_table();
	ASSERT_EQ(mkfifo(MYBBS_PATH, 0600), 0);
	std::atomic<int> writer_at = 0; // 1 opening, 2 opened
	std::thread writer([&] {
		writer_at = 1;
		int fd = open(MYBBS_PATH, O_WRONLY | O_CLOEXEC); // until a reader opens it
		writer_at = 2;
		close(fd);
	});
	const auto a_while = std::chrono::milliseconds(100);
	while (writer_at == 0)
		std::this_thread::yield();
	std::this_thread::sleep_for(a_while); // well into its open
	EXPECT_EQ(both("G4ABC"), no) << "FIFO with a writer waiting";
	EXPECT_EQ(run(command(CHECK, {})).status, 2) << "mybbs-check on a FIFO";
	std::this_thread::sleep_for(a_while); // out of it, if a program let it go
	EXPECT_EQ(writer_at, 1) << "a program opened the FIFO";
	int reader = open(MYBBS_PATH, O_RDONLY | O_NONBLOCK | O_CLOEXEC); // lets it go
	writer.join();
	close(reader);

	// An endless run of empty records: the empty callsign would match the
	// first, any other never end.
	remove_table();
	ASSERT_EQ(symlink("/dev/zero", MYBBS_PATH), 0);
	EXPECT_EQ(both(""), no) << "/dev/zero";
	EXPECT_EQ(both("G4ABC"), no) << "/dev/zero";

	// A caller's piped input holding a record that would match: it stays
	// unread for the caller.
	remove_table();
	ASSERT_EQ(symlink("/dev/stdin", MYBBS_PATH), 0);
	int pipefd[2];
	ASSERT_EQ(pipe2(pipefd, O_CLOEXEC | O_NONBLOCK), 0);
	const Record r = record("G4ABC", local);
	ASSERT_EQ(write(pipefd[1], r.data(), r.size()), static_cast<ssize_t>(r.size()));
	EXPECT_EQ(both("G4ABC", {}, pipefd[0]), no) << "/dev/stdin";
	char left[2 * sizeof r];
	EXPECT_EQ(read(pipefd[0], left, sizeof left), static_cast<ssize_t>(r.size()))
		<< "the caller's input was read";
	close(pipefd[0]);
	close(pipefd[1]);
	remove_table();
}

// A table past 2 GiB is read past 2 GiB like any other on a 32-bit target,
// where file offsets are 64-bit only if the build asks: a callsign in the
// first record that starts past it is found. The records before it are a
// hole of empty callsigns, which costs no disk, but reading them costs
// seconds, and on a 64-bit target nothing can go wrong.
TEST_F(EndToEnd, TablePastTwoGiB)
{
	if (sizeof(void *) > 4)
		GTEST_SKIP() << "a 64-bit target's file offsets are always 64-bit";
	const off_t at = ((off_t{1} << 31) / off_t{sizeof(Record)} + 1) * off_t{sizeof(Record)};
	table({});
	const Record r = record("G4ABC", local);
	int fd = open(MYBBS_PATH, O_WRONLY | O_CLOEXEC);
	ASSERT_GE(fd, 0);
	ASSERT_EQ(pwrite(fd, r.data(), r.size(), at), static_cast<ssize_t>(r.size()))
		<< strerror(errno);
	close(fd);
	// A 2 GiB read takes its time under an emulator.
	Outcome o = run(command(ISKNOWN, {"G4ABC"}), -1, 600000);
	EXPECT_EQ(o.status, 1) << o.err;
	remove_table();
}

// Root reads any file, so as root the programs run without the two
// capabilities that override file modes, in the inheritable set too, which a
// container such as systemd-nspawn fills. A readable table first proves they
// reach it that way, so that the 0 after it comes from the mode alone.
TEST_F(EndToEnd, TableWithoutReadPermissionIsNo)
{
	std::vector<std::string> as;
	if (geteuid() == 0)
		as = {"setpriv", "--inh-caps=-dac_override,-dac_read_search",
		      "--bounding-set=-dac_override,-dac_read_search", "--"};

	table({record("G4ABC", local)});
	ASSERT_EQ(both("G4ABC", as), std::make_pair(1, 1));
	ASSERT_EQ(chmod(MYBBS_PATH, 0), 0);
	EXPECT_EQ(both("G4ABC", as), std::make_pair(0, 0));
	remove_table();
}

// What a program did to the table, as inotify saw it: every kind of event,
// and how often it opened it.
struct TableEvents {
	uint32_t mask = 0;
	int opens = 0;
};

TableEvents table_events(const char *prog, const std::vector<std::string> &args, Outcome *o)
{
	int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
	EXPECT_GE(fd, 0);
	EXPECT_GE(inotify_add_watch(fd, MYBBS_PATH, IN_ALL_EVENTS), 0);
	*o = run(command(prog, args));

	TableEvents events;
	alignas(inotify_event) char buf[4096];
	ssize_t n;
	while ((n = read(fd, buf, sizeof buf)) > 0)
		for (char *p = buf; p < buf + n;) {
			auto *ev = reinterpret_cast<inotify_event *>(p);
			events.mask |= ev->mask;
			events.opens += (ev->mask & IN_OPEN) != 0;
			p += sizeof *ev + ev->len;
		}
	close(fd);
	return events;
}

// Each program opens the table once, read-only, and only when asked; so
// does mybbs-check, which answers and explains every callsign, or reports,
// from that one open, whatever the BBS does to the path meanwhile.
TEST_F(EndToEnd, OpensTheTableOnceReadOnlyAndOnlyWhenAsked)
{
	table({record("G4ABC", local), record("DL1XYZ", "DB0ABC")});
	const uint32_t writes = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB;
	Outcome o;
	for (const char *prog : {ISHOME, ISKNOWN}) {
		SCOPED_TRACE(prog);
		EXPECT_EQ(table_events(prog, {}, &o).mask, 0u) << "opened without an argument";
		EXPECT_EQ(o.status, 0);

		TableEvents events = table_events(prog, {"G4ABC"}, &o);
		EXPECT_EQ(o.status, 1);
		EXPECT_EQ(o.out + o.err, "");
		EXPECT_EQ(events.opens, 1);
		EXPECT_TRUE(events.mask & IN_CLOSE_NOWRITE);
		EXPECT_FALSE(events.mask & writes);
	}
	for (const std::vector<std::string> &args :
	     {std::vector<std::string>{"G4ABC", "DL1XYZ", "g4abc"}, {}, {"-l", "G4ABC"}}) {
		SCOPED_TRACE(args.size());
		TableEvents events = table_events(CHECK, args, &o);
		EXPECT_EQ(o.status, 0) << o.err;
		EXPECT_EQ(events.opens, 1);
		EXPECT_FALSE(events.mask & writes);
	}
}

// The table writer may run as root in a directory that the BBS's user can
// write. A link planted under a name it might write, or at the table's
// own, is replaced or refused, never written through; a table there is
// replaced only with -f; a write that fails leaves the table as it was.
// Either way nothing else is left beside it.
TEST(TableWriter, NeverWritesThroughALink)
{
	std::string dir = std::filesystem::current_path() / "mktable-XXXXXX";
	ASSERT_NE(mkdtemp(dir.data()), nullptr);
	const std::string table = dir + "/mybbs.tab", victim = dir + "/victim",
			  secret = "root's secret\n";
	const Record old = record("M0XYZ", "DB0ABC"), made = record("G4ABC", "GB7XX");
	const std::string old_bytes(old.data(), old.size()), made_bytes(made.data(), made.size());
	const std::vector<std::string> no_room = {"sh", "-c",
						  "trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\""};
	const struct {
		const char *what;
		const char *planted;	 // a link to the victim under this name
		const std::string &then; // what the table's path then reads
		std::vector<std::string> options, as;
		int status;
		bool table_there;
	} cases[] = {
		// clang-format off
		{"a link where the new table was once written", "mybbs.tab.new", made_bytes, {}, {}, 0, false},
		{"a link at the table's name, with -f", "mybbs.tab", made_bytes, {"-f"}, {}, 0, false},
		{"a link at the table's name", "mybbs.tab", secret, {}, {}, 1, false},
		{"a table there", nullptr, old_bytes, {}, {}, 1, true},
		{"a write that fails", nullptr, old_bytes, {"-f"}, no_room, 1, true},
		// clang-format on
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		std::filesystem::remove_all(dir);
		ASSERT_TRUE(std::filesystem::create_directory(dir));
		ASSERT_TRUE(write_table(victim, {}, secret));
		ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
		if (c.table_there) {
			ASSERT_TRUE(write_table(table, {old}));
		}
		if (c.planted != nullptr) {
			ASSERT_EQ(symlink(victim.c_str(), (dir + "/" + c.planted).c_str()), 0);
		}
		std::vector<std::string> args = c.options;
		args.insert(args.end(), {table, "G4ABC=GB7XX"});
		Outcome o = run(command(MKTABLE, args, c.as));
		EXPECT_EQ(o.status, c.status) << o.err;
		EXPECT_EQ(o.err.find("replace"), std::string::npos) << "a refusal that invites -f";
		std::ifstream in(table, std::ios::binary), was(victim, std::ios::binary);
		EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.then);
		EXPECT_EQ(std::string(std::istreambuf_iterator<char>(was), {}), secret);
		std::set<std::string> left;
		for (const auto &entry : std::filesystem::directory_iterator(dir))
			left.insert(entry.path().filename());
		std::set<std::string> want = {"mybbs.tab", "victim"};
		if (c.planted != nullptr)
			want.insert(c.planted);
		if (!c.table_there && c.planted == nullptr)
			want.erase("mybbs.tab");
		EXPECT_EQ(left, want);
	}
	if (!testing::Test::HasFailure())
		std::filesystem::remove_all(dir);
}

// A version of the table as the BBS might write it: G4ABC always at home
// here, DL1XYZ always elsewhere, among a few thousand other users in a new
// order each time. No callsign field of any version holds a V, so no read
// torn between versions can spell VV9VV.
std::vector<Record> version(std::mt19937 &rng)
{
	std::vector<Record> records = {record("G4ABC", local), record("DL1XYZ", "DB0ABC")};
	for (auto i = static_cast<unsigned>(rng() % 4000); i > 0; i--) {
		char call[8];
		snprintf(call, sizeof call, "Q%05u", i);
		records.push_back(record(call, i % 2 ? local : "GB7AA"));
	}
	std::shuffle(records.begin(), records.end(), rng);
	return records;
}

// Whether renaming a file over the table keeps the table's name for
// readers throughout, as POSIX has it and ext4, tmpfs and other kernel
// filesystems do. A FUSE filesystem on libfuse's path-based interface, such
// as disorderfs (reprotest's file-order variation), does not while a
// reader holds the old table open: libfuse first renames the open file
// aside, to .fuse_hiddenNNN, so that reads through it still find a path,
// and only then renames the new file to the table's name. A reader that
// opens the table in between finds none, and answers 0.
bool rename_keeps_name()
{
	struct statfs fs = {};
	return statfs(MYBBS_PATH, &fs) != 0 || fs.f_type != FUSE_SUPER_MAGIC;
}

// The BBS rewrites the table while the programs read it, either in place
// (truncate, then write) or by renaming a new file over it. Every answer is
// 0 or 1 in silence; where every version gives the same answer, and a
// reader sees whole versions, it is that answer. Where a rename leaves a
// moment without a table, it is that answer or 0, "no table", and never
// another.
TEST_F(EndToEnd, TableRewrittenWhileRead)
{
	// Fewer where a process is slow to start (an emulator, a sanitizer).
	const char *env = getenv("MYBBS_REWRITE_ROUNDS");
	const long rounds = env != nullptr ? strtol(env, nullptr, 10) : 150;
	table({});
	const bool keeps_name = rename_keeps_name();
	for (bool in_place : {true, false}) {
		SCOPED_TRACE(in_place ? "rewritten in place" : "replaced by rename");
		std::mt19937 rng(42);
		table(version(rng));
		std::atomic<bool> stop = false;
		std::atomic<unsigned> rewrites = 0;
		std::thread bbs([&] {
			std::mt19937 wrng(7);
			while (!stop) {
				std::vector<Record> v = version(wrng);
				if (in_place) {
					FILE *fp = fopen(MYBBS_PATH, "wb");
					ASSERT_NE(fp, nullptr);
					fwrite(v.data(), sizeof v[0], v.size(), fp);
					fclose(fp);
				} else {
					ASSERT_TRUE(write_table(MYBBS_PATH, v));
				}
				rewrites++;
			}
		});

		const struct {
			const char *call;
			int ishome, isknown;
		} questions[] = {{"G4ABC", 1, 1}, {"DL1XYZ", 0, 1}, {"VV9VV", 0, 0}};
		for (long i = 0; i < rounds; i++)
			for (const auto &q : questions) {
				int home = ishome({q.call}), known = isknown({q.call});
				EXPECT_TRUE(home == 0 || home == 1) << home;
				EXPECT_TRUE(known == 0 || known == 1) << known;
				if (in_place ? q.isknown == 0 : keeps_name) {
					EXPECT_EQ(home, q.ishome) << q.call;
					EXPECT_EQ(known, q.isknown) << q.call;
				} else if (!in_place) {
					EXPECT_TRUE(home == q.ishome || home == 0) << q.call;
					EXPECT_TRUE(known == q.isknown || known == 0) << q.call;
				}
			}
		stop = true;
		bbs.join();
		EXPECT_GT(rewrites, 10u);
	}
	remove_table();
}

} // namespace
