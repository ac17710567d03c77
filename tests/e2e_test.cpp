// SPDX-License-Identifier: ISC
// The real programs, built to read a table inside the build tree, answering
// as a script on the BBS host would see them: exit status and silence. The
// scan's cases are mybbs_test's; here is each program's wiring.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <thread>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mybbs_config.h" // this build's MYBBS_PATH and LOCAL_BBS_CALL
#include "process.h"
#include "table.h"

namespace
{

const std::string local = LOCAL_BBS_CALL;

// remove() takes a directory as well as a file, a link or a FIFO.
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

// Runs prog with args as command() does, stdin from in (-1: /dev/null);
// checks that it printed nothing, and returns its exit status.
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

// Each program takes its first argument, empty or not, for the callsign,
// answers 1 for yes, and ishome asks about this build's LOCAL_BBS_CALL; at
// a stack limit as small as any program starts at too, in an empty
// environment (whose strings the stack holds too).
TEST_F(EndToEnd, AnswersAsTheTableSays)
{
	const Record g4abc = record("G4ABC", local), dl1xyz = record("DL1XYZ", "DB0ABC");
	const std::vector<std::string> small_stack = {"env", "-i", "sh", "-c",
						      "ulimit -s 16 && exec \"$0\" \"$@\""};
	const struct {
		const char *what;
		std::vector<Record> records;
		std::vector<std::string> args;
		int ishome, isknown;
		std::vector<std::string> limit = {}; // a shell that sets a limit first
	} cases[] = {
		// clang-format off
		{"at home here", {dl1xyz, g4abc}, {"G4ABC"}, 1, 1},
		{"at home here, and more after it", {record("M0XYZ", local + ".#23")}, {"M0XYZ"}, 1, 1},
		{"at home elsewhere", {g4abc, dl1xyz}, {"DL1XYZ"}, 0, 1},
		{"not listed", {g4abc, dl1xyz}, {"M0XYZ"}, 0, 0},
		{"only the first argument counts", {g4abc, dl1xyz}, {"M0XYZ", "G4ABC"}, 0, 0},
		{"only the first argument, listed", {g4abc, dl1xyz}, {"G4ABC", "M0XYZ"}, 1, 1},
		{"an empty argument", {g4abc, record("", local)}, {""}, 1, 1},
		{"a 16 KiB stack", {dl1xyz, g4abc}, {"G4ABC"}, 1, 1, small_stack},
		// clang-format on
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		// A limit at which the program does not even start without an
		// argument, where it only returns, is the wrapper's, a sanitizer's
		// or a preloaded library's: no test of the program's own use.
		if (!c.limit.empty() &&
		    (wrapped() || run(command(ISHOME, {}, c.limit)).status != 0))
			continue;
		table(c.records);
		EXPECT_EQ(ask(ISHOME, c.args, c.limit), c.ishome);
		EXPECT_EQ(ask(ISKNOWN, c.args, c.limit), c.isknown);
	}
}

// Whatever the table path names, but a table the caller may read, the
// programs answer 0 at once, in silence, and neither open nor read it: a
// FIFO's writer waits on, as it would for its reader; a device, or the
// caller's own input, is not read. As root, they run without root's
// override of file modes, and a readable table first proves that they
// reach it that way. A table past 2 GiB is a table on 32-bit targets too.
TEST_F(EndToEnd, OnlyARegularFileIsATable)
{
	const Record r = record("G4ABC", local);
	std::thread writer;
	std::atomic<int> writer_at = 0; // 1 opening the FIFO, 2 opened
	const auto a_while = std::chrono::milliseconds(100);
	const auto past_two_gib = [&] {
		table({r});
		ASSERT_EQ(truncate(MYBBS_PATH, (off_t{1} << 31) + off_t{sizeof r}), 0);
	};
	const auto fifo_with_writer = [&] {
		mkfifo(MYBBS_PATH, 0600);
		writer = std::thread([&] {
			writer_at = 1;
			int fd = open(MYBBS_PATH, O_WRONLY | O_CLOEXEC); // until a reader comes
			writer_at = 2;
			close(fd);
		});
		while (writer_at == 0)
			std::this_thread::yield();
		std::this_thread::sleep_for(a_while); // well into its open
	};
	const struct {
		const char *what;
		std::function<void()> make;
		int answer = 0;
		std::vector<std::string> calls = {"G4ABC"};
	} cases[] = {
		// clang-format off
		{"a table", [&] { table({r}); }, 1},
		{"a sparse table past 2 GiB", past_two_gib, 1},
		{"missing", [] {}},
		{"not readable", [&] { table({r}); chmod(MYBBS_PATH, 0); }},
		{"a directory", [] { mkdir(MYBBS_PATH, 0755); }, 0, {"", "G4ABC"}},
		{"a link to /dev/zero, empty records without end", [] { symlink("/dev/zero", MYBBS_PATH); }, 0, {"", "G4ABC"}},
		{"a link to /dev/stdin, the caller's input", [] { symlink("/dev/stdin", MYBBS_PATH); }},
		{"a FIFO with a writer waiting", fifo_with_writer},
		// clang-format on
	};
	int input[2]; // the caller's input, holding a record that would match
	ASSERT_EQ(pipe2(input, O_CLOEXEC | O_NONBLOCK), 0);
	ASSERT_EQ(write(input[1], r.data(), r.size()), static_cast<ssize_t>(r.size()));
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		remove_table();
		c.make();
		for (const std::string &call : c.calls)
			EXPECT_EQ(both(call, without_override(), input[0]),
				  std::make_pair(c.answer, c.answer));
		int unread = 0;
		EXPECT_EQ(ioctl(input[0], FIONREAD, &unread), 0);
		EXPECT_EQ(unread, static_cast<int>(r.size())) << "the caller's input was read";
	}
	EXPECT_EQ(run(command(CHECK, {})).status, 2) << "mybbs-check on the FIFO";
	std::this_thread::sleep_for(a_while); // out of its open, if a program let it go
	EXPECT_EQ(writer_at, 1) << "a program opened the FIFO";
	int reader = open(MYBBS_PATH, O_RDONLY | O_NONBLOCK | O_CLOEXEC); // lets it go
	writer.join();
	close(reader);
	close(input[0]);
	close(input[1]);
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
using TableWriter = InDir;

TEST_F(TableWriter, NeverWritesThroughALink)
{
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
		EXPECT_EQ(left, want);
	}
}

// The BBS rewrites the table in place (truncate, then write) while the
// programs read it: a read may see it empty or half written, and a listed
// callsign then reads as not listed, but every answer is 0 or 1, in
// silence, and one never listed is always 0. Each version has G4ABC and
// DL1XYZ among a few thousand others in a new order, and no V in any
// callsign, so that no torn read can spell VV9VV. (MYBBS_REWRITE_ROUNDS
// asks fewer questions where a process is slow to start.)
TEST_F(EndToEnd, TableRewrittenWhileRead)
{
	const char *env = getenv("MYBBS_REWRITE_ROUNDS");
	const long rounds = env != nullptr ? strtol(env, nullptr, 10) : 150;
	table({});
	std::atomic<bool> stop = false;
	std::atomic<unsigned> rewrites = 0;
	std::thread bbs([&] {
		std::mt19937 rng(7);
		while (!stop) {
			std::vector<Record> v = {record("G4ABC", local),
						 record("DL1XYZ", "DB0ABC")};
			for (auto i = rng() % 4000; i > 0; i--) {
				char call[8];
				snprintf(call, sizeof call, "Q%05u", static_cast<unsigned>(i));
				v.push_back(record(call, i % 2 ? local : "GB7AA"));
			}
			std::shuffle(v.begin(), v.end(), rng);
			FILE *fp = fopen(MYBBS_PATH, "wb");
			ASSERT_NE(fp, nullptr);
			fwrite(v.data(), sizeof v[0], v.size(), fp);
			fclose(fp);
			rewrites++;
		}
	});
	for (long i = 0; i < rounds; i++)
		for (const char *call : {"G4ABC", "DL1XYZ", "VV9VV"}) {
			std::pair<int, int> answers = both(call);
			EXPECT_TRUE(answers.first == 0 || answers.first == 1) << answers.first;
			EXPECT_TRUE(answers.second == 0 || answers.second == 1) << answers.second;
			if (call[0] == 'V') {
				EXPECT_EQ(answers, std::make_pair(0, 0));
			}
		}
	stop = true;
	bbs.join();
	EXPECT_GT(rewrites, 10u);
}

// The BBS replaces the table by renaming a new one over it. One that lands
// between the programs' look at the path and their open is the table they
// read, not a path swapped for something else: each program's first look
// is held back (strace), a new table is renamed over the old meanwhile, and
// the answers are still right. (The old table stays linked until then, so
// that the new one cannot take its inode number.)
TEST_F(EndToEnd, TableRenamedOverWhileOpened)
{
	if (!can_trace(STRACE))
		GTEST_SKIP() << "needs strace, able to trace here, and no wrapper";
	const std::string next = std::string(MYBBS_PATH) + ".next";
	table({record("G4ABC", local)});
	ASSERT_TRUE(write_table(next, {record("DL1XYZ"), record("G4ABC", local)}));
	std::pair<int, int> answers;
	auto ask_held_back = [](const char *prog, int *answer) {
		*answer = run(traced(STRACE,
				     {"-o", "/dev/null", "-P", MYBBS_PATH, "-e", "trace=%%stat",
				      "-e", "inject=%%stat:delay_exit=500000:when=1"},
				     prog, {"G4ABC"}))
				  .status;
	};
	std::thread home(ask_held_back, ISHOME, &answers.first),
		known(ask_held_back, ISKNOWN, &answers.second);
	std::this_thread::sleep_for(std::chrono::milliseconds(150)); // into their looks
	EXPECT_EQ(rename(next.c_str(), MYBBS_PATH), 0);
	home.join();
	known.join();
	EXPECT_EQ(answers, std::make_pair(1, 1));
}

} // namespace
