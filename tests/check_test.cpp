// SPDX-License-Identifier: ISC
// mybbs-check, the real program: its report and explanations on tables made
// to show each finding, and its answers against those of ishome and isknown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "mybbs_config.h" // this build's MYBBS_PATH and LOCAL_BBS_CALL
#include "process.h"
#include "table.h"

namespace
{

const std::string local = LOCAL_BBS_CALL;

Outcome run_prog(const char *prog, const std::vector<std::string> &args,
		 const std::vector<std::string> &as = {})
{
	return run(command(prog, args, as));
}

using Check = InDir;

TEST_F(Check, ExplainsEachAnswer)
{
	const std::string table = dir + "/mybbs.tab";
	ASSERT_TRUE(write_table(table,
				{record("G4ABC", local), record("DL1XYZ", "DB0ABC"),
				 record("G4ABC", "DB0ABC"), record("M0XYZ", local),
				 record("G4ABC", "GB7ZZ"), record("G7XYZ", lower_case(local)),
				 raw_record("ABCDEFGHIJKLMNOPQRS")},
				std::string("PA3DEF\0", 7)));
	// clang-format off
	const struct {
		const char *call;
		std::string says;
	} cases[] = {
		{"G4ABC", "\"G4ABC\": ishome 1, isknown 1: record 0, home BBS \"" + local + "\"; listed again in record 2, home BBS \"DB0ABC\""},
		{"DL1XYZ", "\"DL1XYZ\": ishome 0, isknown 1: record 1, home BBS \"DB0ABC\", not the local"},
		{"g4abc", "\"g4abc\": ishome 0, isknown 0: not listed; record 0 has \"G4ABC\", in another letter case"},
		{"M0XYZ-1", "not listed; record 3 has \"M0XYZ\", which differs by a suffix"},
		{"PA3DEF", "not listed; it stands in the trailing fragment"},
		{"N0CALL", "\"N0CALL\": ishome 0, isknown 0: not listed\n"},
		{"G7XYZ", "\"G7XYZ\": ishome 0, isknown 1: record 5, home BBS \"" + lower_case(local) + "\", not the local"},
		{"ABCDEFGHIJKLMNOPQRS", "ishome 0, isknown 1: record 6, home BBS \"HIJKLMNOPQRS\", not the local"},
		{"-", "\"-\": ishome 0, isknown 0: not listed\n"},
	};
	// clang-format on
	std::vector<std::string> args = {"-f", table, "--"};
	for (const auto &c : cases)
		args.emplace_back(c.call);
	Outcome o = run_prog(CHECK, args);
	EXPECT_EQ(o.status, 0);
	EXPECT_EQ(o.err, "");
	for (const auto &c : cases)
		EXPECT_NE(o.out.find(c.says), std::string::npos) << c.says << "\n" << o.out;
}

// A report on the table of records and tail, DIR/t/mybbs.tab, with these
// modes (through a link DIR/l/mybbs.tab where link_mode is given): the line
// says must stand in it whole, or, where says is empty, nothing is found.
struct Edge {
	const char *what;
	std::vector<Record> records;
	std::string says;
	std::string tail{};
	mode_t table_mode = 0644, dir_mode = 0755; // and DIR's above them:
	mode_t above_mode = 0700, link_mode = 0;
	int callsigns = -1;	   // the count of listed callsigns, where it is at stake
	bool last = true;	   // says is the report's last line: no other finding follows
	const char *check = CHECK; // CHECK_LOWER: a build whose local BBS is in lower case
};

void expect_report(const std::string &dir, const Edge &e)
{
	SCOPED_TRACE(e.what);
	const std::string table = dir + "/t/mybbs.tab", link = dir + "/l/mybbs.tab";
	ASSERT_EQ(mkdir((dir + "/t").c_str(), 0755) == 0 || errno == EEXIST, true);
	ASSERT_TRUE(write_table(table, e.records, e.tail));
	ASSERT_EQ(chmod(table.c_str(), e.table_mode), 0);
	ASSERT_EQ(chmod((dir + "/t").c_str(), e.dir_mode), 0);
	ASSERT_EQ(chmod(dir.c_str(), e.above_mode), 0);
	if (e.link_mode != 0) {
		ASSERT_EQ(mkdir((dir + "/l").c_str(), 0755) == 0 || errno == EEXIST, true);
		ASSERT_EQ(symlink("../t/mybbs.tab", link.c_str()) == 0 || errno == EEXIST, true);
		ASSERT_EQ(chmod((dir + "/l").c_str(), e.link_mode), 0);
	}
	Outcome o = run_prog(e.check, {"-f", e.link_mode != 0 ? link : table});
	ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(o.status, e.says.empty() ? 0 : 1) << o.out;
	const std::string fragment =
		"and a trailing fragment of " + std::to_string(e.tail.size()) + " bytes";
	EXPECT_NE(o.out.find("\nrecords: " + std::to_string(e.records.size()) + " whole, " +
			     (e.tail.empty() ? "no trailing fragment" : fragment) + "\n"),
		  std::string::npos)
		<< o.out;
	// A clean table: no line between the summary and "no findings".
	const std::string line = e.says.empty() ? " have the local BBS as home\nno findings\n"
						: "\n" + e.says + "\n";
	EXPECT_NE(o.out.find(line), std::string::npos) << o.out;
	if (e.last) {
		EXPECT_EQ(o.out.rfind(line), o.out.size() - line.size()) << o.out;
	}
	if (e.callsigns >= 0) {
		EXPECT_NE(o.out.find("\nlisted callsigns: " + std::to_string(e.callsigns) + ", "),
			  std::string::npos)
			<< o.out;
	}
}

// Each finding at each side of its edge: the length at which a callsign
// loses its NUL, the modes that let every user write, the field that is the
// local BBS in another letter case, which record of a callsign counts.
TEST_F(Check, FindingsAtTheirEdges)
{
	const Record g4abc = record("G4ABC", local), dl1xyz = record("DL1XYZ", "DB0ABC");
	const std::string lower = lower_case(local);
	const std::string no_nul_at = "record 1: callsign field has no NUL in bytes 0 to 6: only ";
	const std::string writable = "the table is writable by every user (mode ";
	auto dir_writable = [&](const std::string &which, const char *mode) {
		return "directory \"" + dir + which +
		       "\" is writable by every user and not sticky (mode " + mode +
		       "): any user of the host can replace the table";
	};
	const std::string home = "record 1: home BBS \"";
	// clang-format off
	const Edge edges[] = {
		{"callsign of 6", {g4abc, record("G4ABCD", local)}, ""},
		{"callsign of 7", {g4abc, raw_record("G4ABCDE")}, no_nul_at + "\"G4ABCDE\", 7 characters, finds it", "", 0644, 0755, 0700, 0, 2},
		{"callsign of 7 in lower case", {g4abc, raw_record("g4abcde")}, no_nul_at + "\"g4abcde\", 7 characters, finds it"},
		{"callsign of 19", {g4abc, raw_record("G4ABCDEFGHIJKLMNOPQ")}, no_nul_at + "\"G4ABCDEFGHIJKLMNOPQ\", 19 characters, finds it", "", 0644, 0755, 0700, 0, 2},
		{"callsign of 20", {g4abc, raw_record("G4ABCDEFGHIJKLMNOPQR")}, "record 1: no NUL in its 20 bytes: no callsign finds it", "", 0644, 0755, 0700, 0, 1},
		{"callsign of 7, twice", {g4abc, raw_record("G4ABCDE"), raw_record("G4ABCDE")}, "record 2: \"G4ABCDE\" listed again, first in record 1: never read; same home BBS"},
		{"empty callsign", {g4abc, record("", local)}, "record 1: empty callsign: only an empty argument finds it"},
		{"table 0666", {g4abc}, writable + "0666): any user of the host can change the answers", "", 0666},
		{"table 0602", {g4abc}, writable + "0602): any user of the host can change the answers", "", 0602},
		{"table 0664", {g4abc}, "", "", 0664},
		{"table 0604", {g4abc}, "", "", 0604},
		{"directory 0777", {g4abc}, dir_writable("/t", "0777"), "", 0644, 0777},
		{"directory 0703", {g4abc}, dir_writable("/t", "0703"), "", 0644, 0703},
		{"directory above 0777", {g4abc}, dir_writable("", "0777"), "", 0644, 0755, 0777},
		{"directory above 1777", {g4abc}, "", "", 0644, 0755, 01777},
		{"directory through a link 0777", {g4abc}, dir_writable("/t", "0777"), "", 0644, 0777, 0700, 0755},
		{"link's directory 0777", {g4abc}, dir_writable("/l", "0777"), "", 0644, 0755, 0700, 0777},
		{"link's directory 1777", {g4abc}, "", "", 0644, 0755, 0700, 01777},
		{"directory 0775", {g4abc}, "", "", 0644, 0775},
		{"directory 1777", {g4abc}, "", "", 0644, 01777},
		{"directory 1703", {g4abc}, "", "", 0644, 01703},
		{"no whole record", {}, "the table holds no whole record: ishome and isknown answer 0 to every callsign"},
		{"fragment of 1", {g4abc}, "trailing fragment of 1 bytes: never read as a record: \"M\"", "M"},
		{"fragment of 19", {g4abc}, "trailing fragment of 19 bytes: never read as a record: \"M0XYZ\\x00\\x00abcdefghijkl\"", std::string("M0XYZ\0\0abcdefghijkl", 19)},
		{"local in lower case", {g4abc, record("G7XYZ", lower)}, home + lower + "\" is the local BBS in another letter case: ishome answers 0 for \"G7XYZ\""},
		{"local in lower case, and more", {g4abc, record("G7XYZ", lower + "-1")}, home + lower + "-1\" is the local BBS in another letter case: ishome answers 0 for \"G7XYZ\""},
		{"local and more", {g4abc, record("G7XYZ", local + "-1")}, ""},
		{"four bytes of the local", {g4abc, record("G7XYZ", lower.substr(0, 4))}, home + lower.substr(0, 4) + "\" has lower case: ishome never takes it for the local BBS"},
		{"one local user", {dl1xyz, g4abc}, ""},
		{"no local user", {dl1xyz}, "no listed callsign has the local BBS as home: ishome answers 0 to every callsign; was LOCAL_BBS_CALL built as meant?"},
		{"local only in a duplicate", {record("G4ABC", "DB0ABC"), g4abc}, "no listed callsign has the local BBS as home: ishome answers 0 to every callsign; was LOCAL_BBS_CALL built as meant?", "", 0644, 0755, 0700, 0, -1, false},
		{"duplicate, the local BBS in lower case", {g4abc, record("G4ABC", lower)}, "record 1: \"G4ABC\" listed again, first in record 0: never read; its home BBS \"" + lower + "\" is another than the first's \"" + local + "\""},
		{"duplicate, home longer", {g4abc, record("G4ABC", local + ".#23")}, "record 1: \"G4ABC\" listed again, first in record 0: never read; its home BBS \"" + local + ".#23\" is another than the first's \"" + local + "\""},
		{"duplicate, rest after the home differs", {g4abc, raw_record(std::string("G4ABC\0\0", 7) + local + std::string("\0XYZ", 4))}, "record 1: \"G4ABC\" listed again, first in record 0: never read; same home BBS"},
		{"callsign equal but for case", {g4abc, record("g4abc", local)}, "record 1: callsign \"g4abc\" has lower case: a question in the usual upper case misses it"},
		{"blanks and control bytes", {g4abc, record("G7 \x01", local)}, "record 1: callsign \"G7 \\x01\" has blanks, control bytes: a question in the usual upper case misses it"},
		{"the local BBS built in lower case", {g4abc}, "LOCAL_BBS_CALL has lower case: was it built as meant?", "", 0644, 0755, 0700, 0, -1, false, CHECK_LOWER},
	};
	// clang-format on
	for (const Edge &e : edges)
		expect_report(dir, e);
}

// The first and last byte of each class the findings name, the bytes next
// to them, and how each is shown: in a callsign, a home BBS, the listing.
TEST_F(Check, EachByteClassAndHowItIsShown)
{
	const char *lower = "lower case", *blank = "blanks", *control = "control bytes",
		   *other = "other unusual bytes";
	const struct {
		char c;
		const char *has; // nullptr: a byte a caller types
		const char *shown;
	} bytes[] = {
		{'a', lower, "a"},	    {'z', lower, "z"},		{'`', other, "`"},
		{'{', other, "{"},	    {'A', nullptr, "A"},	{'Z', nullptr, "Z"},
		{'@', other, "@"},	    {'[', other, "["},		{'0', nullptr, "0"},
		{'9', nullptr, "9"},	    {':', other, ":"},		{'-', nullptr, "-"},
		{'/', nullptr, "/"},	    {',', other, ","},		{'.', other, "."},
		{' ', blank, " "},	    {'!', other, "!"},		{'\x1f', control, "\\x1f"},
		{'\x01', control, "\\x01"}, {'\x7f', control, "\\x7f"}, {'~', other, "~"},
		{'"', other, "\\x22"},	    {'\\', other, "\\x5c"},	{'\x80', other, "\\x80"},
		{'\xff', other, "\\xff"},
	};
	// The pieces of an expected line, joined.
	auto cat = [](std::initializer_list<std::string_view> parts) {
		std::string s;
		for (std::string_view p : parts)
			s += p;
		return s;
	};
	const std::string table = dir + "/mybbs.tab";
	for (const auto &b : bytes) {
		SCOPED_TRACE(b.shown);
		const std::string call = cat({"G4", {&b.c, 1}, "X"}),
				  home = cat({"DB", {&b.c, 1}, "AB"});
		const std::string shown = cat({"G4", b.shown, "X"}),
				  hshown = cat({"DB", b.shown, "AB"});
		const char *has = b.has != nullptr ? b.has : "";
		ASSERT_TRUE(write_table(table, {record("G4ABC", local), record(call, local),
						record("G7XYZ", home)}));
		Outcome o = run_prog(CHECK, {"-l", "-f", table});
		EXPECT_EQ(o.status, b.has != nullptr ? 1 : 0);
		for (const std::string &line :
		     {cat({"\n  record 1: callsign \"", shown, "\" home BBS \"", local, "\"\n"}),
		      cat({"\n  record 2: callsign \"G7XYZ\" home BBS \"", hshown, "\"\n"})})
			EXPECT_NE(o.out.find(line), std::string::npos) << line << o.out;
		for (const std::string &line :
		     {cat({"\nrecord 1: callsign \"", shown, "\" has ", has,
			   ": a question in the usual upper case misses it\n"}),
		      cat({"\nrecord 2: home BBS \"", hshown, "\" has ", has,
			   ": ishome never takes it for the local BBS\n"})})
			EXPECT_EQ(o.out.find(line) != std::string::npos, b.has != nullptr)
				<< line << o.out;
		o = run_prog(CHECK, {"-f", table, call});
		EXPECT_EQ(o.out, cat({"\"", shown, "\": ishome 1, isknown 1: record 1, home BBS \"",
				      local, "\"\n"}));
	}
}

// Each hint at each side of its edge: the letter case, the suffix (only '-'
// and '/'), the trailing fragment, the length no well-formed record holds.
TEST_F(Check, HintsAtTheirEdges)
{
	const struct {
		std::string tail;
		const char *call;
		std::string says;
	} cases[] = {
		{"", "m0x", "not listed; record 1 has \"M0X\", in another letter case"},
		{"", "M0x", "not listed; record 1 has \"M0X\", in another letter case"},
		{"", "m0xy", "not listed"},
		{"", "M0X-1", "not listed; record 1 has \"M0X\", which differs by a suffix"},
		{"", "m0x/P", "not listed; record 1 has \"M0X\", which differs by a suffix"},
		{"", "M0X-", "not listed; record 1 has \"M0X\", which differs by a suffix"},
		{"", "M0X.1", "not listed"},
		{"", "M0X,1", "not listed"},
		{"", "M0X01", "not listed"},
		{"", "M0Y-1", "not listed"},
		{"", "M0A", "not listed; record 2 has \"M0A/P\", which differs by a suffix"},
		{"", "M0B", "not listed; record 3 has \"M0B-7\", which differs by a suffix"},
		{"", "M0C", "not listed"},
		{"", "/P", "not listed"}, // nor is the empty callsign with a suffix
		{"PA3DEF", "PA3DEF",
		 "not listed; it stands in the trailing fragment, which is never read"},
		{std::string("PA3DEF\0X", 8), "PA3DEF",
		 "not listed; it stands in the trailing fragment, which is never read"},
		{"PA3DEFX", "PA3DEF", "not listed"},
		{"PA3DE", "PA3DEF", "not listed"},
		{"PA3DEF", "PA3DE", "not listed"},
		{"", "G4ABCD", "not listed"},
		{"", "G4ABCDE",
		 "not listed; a callsign of 7 characters fits no well-formed record"},
		// Records 5 and 7 hold these first 19 characters, without a NUL after
		// them and with one: no callsign of 20 or more finds either.
		{"", "ABCDEFGHIJKLMNOPQRST",
		 "not listed; a callsign of 20 characters fits no well-formed record"},
		{"", "ABCDEFGHIJKLMNOPQRSTU",
		 "not listed; a callsign of 21 characters fits no well-formed record"},
	};
	const std::string table = dir + "/mybbs.tab";
	for (const auto &c : cases) {
		SCOPED_TRACE(c.call);
		ASSERT_TRUE(write_table(table,
					{record("G4ABC", local), record("M0X", local),
					 record("M0A/P", local), record("M0B-7", local),
					 record("M0C.1", local), raw_record("ABCDEFGHIJKLMNOPQRST"),
					 record("", local), raw_record("ABCDEFGHIJKLMNOPQRS")},
					c.tail));
		Outcome o = run_prog(CHECK, {"-f", table, c.call});
		EXPECT_EQ(o.status, 0);
		EXPECT_EQ(o.out, std::string("\"").append(c.call) +
					 "\": ishome 0, isknown 0: " + c.says + "\n");
	}
}

// Whatever cannot serve as a table gives exit 2 at once, the reason on
// standard error, and the answers 0; so does a read or a write that fails
// midway. A user the host does not know is named by the uid.
TEST_F(Check, UnusableTable)
{
	const std::vector<std::string> as = without_override();
	const std::string unreadable = dir + "/unreadable", fifo = dir + "/fifo",
			  shut = dir + "/shut", table = dir + "/mybbs.tab",
			  sparse = dir + "/sparse.tab", socket = dir + "/socket",
			  owned = dir + "/owned.tab";
	ASSERT_TRUE(write_table(unreadable, {record("G4ABC", local)}));
	ASSERT_TRUE(write_table(owned, {record("G4ABC", local)}));
	ASSERT_TRUE(geteuid() != 0 || chown(owned.c_str(), 54321, 54322) == 0);
	ASSERT_TRUE(write_table(table, {record("G4ABC", local)}));
	ASSERT_EQ(chmod(unreadable.c_str(), 0), 0);
	ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
	ASSERT_EQ(mkdir(shut.c_str(), 0600), 0);
	ASSERT_EQ(symlink((shut + "/mybbs.tab").c_str(), (dir + "/into-shut").c_str()), 0);
	ASSERT_EQ(symlink("/dev/null", (dir + "/device").c_str()), 0);
	sockaddr_un addr = {AF_UNIX, {}};
	socket.copy(addr.sun_path, sizeof addr.sun_path - 1);
	int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0) << socket;
	close(sock);
	// 100 MB of empty records that cost no disk, and more memory than a
	// limit of 30 MB gives.
	int fd = open(sparse.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
	ASSERT_EQ(ftruncate(fd, 100 << 20), 0);
	close(fd);
	const std::string unsearchable = ": directory \"" + shut + "\" cannot be searched by user ";
	const struct {
		std::string path;
		std::string says;
	} cases[] = {
		{dir + "/missing", ": missing"},
		{unreadable, ": not readable by user "},
		{shut + "/mybbs.tab", unsearchable},
		{dir + "/into-shut", unsearchable},
		{unreadable + "/mybbs.tab", ": \"" + unreadable + "\" is not a directory"},
		{fifo, ": not a regular file but a FIFO"},
		{socket, ": not a regular file but a socket"},
		{dir + "/device", ": not a regular file but a character device"},
		{dir, ": not a regular file but a directory"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.path);
		Outcome o = run_prog(CHECK, {"-f", c.path}, as);
		EXPECT_EQ(o.status, 2);
		EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
		o = run_prog(CHECK, {"-f", c.path, "G4ABC"}, as);
		EXPECT_EQ(o.status, 2);
		EXPECT_EQ(o.out, "\"G4ABC\": ishome 0, isknown 0: the table cannot be read\n");
		EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
	}
	const std::vector<std::string> full = {"sh", "-c", "exec \"$0\" \"$@\" >/dev/full"},
				       stranger = {"setpriv", "--reuid=54321", "--regid=54321",
						   "--clear-groups", "--"};
	const struct {
		std::vector<std::string> args, as;
		int status;
		const char *says; // on either stream
	} midway[] = {
		// clang-format off
		{{"-f", "/proc/self/mem"}, {}, 2, "mybbs-check: \"/proc/self/mem\": the table cannot be read: "},
		{{"-f", sparse}, {"sh", "-c", "ulimit -v 30000 && exec \"$0\" \"$@\""}, 2, "mybbs-check: out of memory\n"},
		{{"-f", table}, full, 2, "mybbs-check: cannot write the report\n"},
		{{"-f", table, "G4ABC"}, full, 2, "mybbs-check: cannot write the report\n"},
		{{"-f", dir + "/missing"}, {"sh", "-c", "exec \"$0\" \"$@\" 2>&1"}, 2,
		 "(LOCAL_BBS_CALL, built in)\nmybbs-check: "}, // in the order written
		{{"-f", "/proc/self/mem"}, stranger, 2, ", owner uid 54321, read as \"?\" (uid 54321)\n"},
		{{"-f", owned}, {}, 0, ", owner uid 54321, read as "}, // not its group's 54322
		// clang-format on
	};
	// Under an emulator, /proc/self/mem is the emulator's, which may read,
	// and a memory limit is the emulator's too. Only root can run as
	// another user, or give a file away.
	for (const auto &c : midway) {
		if ((c.args[1] == "/proc/self/mem" || c.args[1] == sparse) && wrapped())
			continue;
		if (geteuid() != 0 &&
		    (c.args[1] == owned || (!c.as.empty() && c.as[0] == "setpriv")))
			continue;
		SCOPED_TRACE(c.args[1]);
		Outcome o = run_prog(CHECK, c.args, c.as);
		if (o.err.find("AddressSanitizer") != std::string::npos && c.args[1] == sparse)
			continue; // its shadow memory takes more than any small limit
		EXPECT_EQ(o.status, c.status);
		EXPECT_NE((o.out + o.err).find(c.says), std::string::npos) << o.out << o.err;
	}
	for (const std::vector<std::string> &bad : {std::vector<std::string>{"-x"}, {"-f"}}) {
		Outcome o = run_prog(CHECK, bad);
		EXPECT_EQ(o.status, 2);
		EXPECT_EQ(o.out, "");
		EXPECT_NE(o.err.find("usage: mybbs-check"), std::string::npos);
	}
}

// One read fails, whichever of a clean run's reads it is, in each mode:
// mybbs-check exits 2, says after which record, and claims nothing of any
// record; what it printed before says only which table.
TEST_F(Check, FailedReadClaimsNothing)
{
	if (!can_trace(STRACE))
		GTEST_SKIP() << "needs strace, able to trace here, and no wrapper";
	std::vector<Record> records;
	for (int i = 0; i < 2000; i++) {
		char call[8];
		snprintf(call, sizeof call, i == 1998 ? "c%05d" : "C%05d", i);
		records.push_back(record(call, local));
	}
	const std::string table = dir + "/mybbs.tab", log = dir + "/strace.log";
	ASSERT_TRUE(write_table(table, records));
	for (const std::vector<std::string> &args :
	     {std::vector<std::string>{}, {"-l"}, {"-l", "C00001"}, {"C01998", "C00001"}}) {
		std::vector<std::string> argv = {"-f", table};
		argv.insert(argv.end(), args.begin(), args.end());
		const Outcome clean = run_prog(CHECK, argv);
		int read = 1;
		for (;; read++) {
			SCOPED_TRACE(testing::Message()
				     << args.size() << " arguments, read " << read);
			const std::string fail =
				"inject=read:error=EIO:when=" + std::to_string(read);
			Outcome o = run(traced(
				STRACE, {"-o", log, "-P", table, "-e", "trace=read", "-e", fail},
				CHECK, argv));
			if (o.status == clean.status && o.out == clean.out)
				break; // past the last read
			ASSERT_LT(read, 100) << o.out << o.err;
			// What the reads before the failed one brought.
			std::ifstream trace(log);
			long long bytes = 0;
			for (std::string line; std::getline(trace, line) &&
					       line.find("INJECTED") == std::string::npos;)
				bytes += std::stoll(line.substr(line.rfind("= ") + 2));
			const long long whole = bytes / static_cast<long long>(sizeof(Record));
			EXPECT_EQ(o.status, 2);
			EXPECT_EQ(o.err,
				  "mybbs-check: \"" + table + "\": the table cannot be read" +
					  (whole > 0 ? " after record " + std::to_string(whole - 1)
						     : "") +
					  ": Input/output error\n");
			std::istringstream lines(o.out);
			for (std::string line; std::getline(lines, line);)
				EXPECT_TRUE(line.rfind("table: ", 0) == 0 ||
					    line.rfind("local BBS: ", 0) == 0 ||
					    line.rfind("file: ", 0) == 0)
					<< line;
		}
		EXPECT_GT(read, 3) << "too few reads for one to fail midway";
	}
}

TEST_F(Check, PrintsNoRawControlBytes)
{
	const std::string esc = "\x1b]0;\x07\x1b[2J\x9b";
	const std::string table = dir + "/" + esc;
	ASSERT_TRUE(write_table(table,
				{record(esc.substr(0, 6), esc),
				 raw_record((esc + esc + esc).substr(0, 20)),
				 record("\x7f\xff", "\r\n")},
				esc));
	// The program's own name too, which a message would show.
	std::vector<std::string> named = {"bash", "-c", "exec -a \"$0\" \"$@\"", esc};
	for (const std::string &word : command(CHECK, {"-x"}))
		named.push_back(word);
	for (const std::vector<std::string> &argv :
	     {command(CHECK, {"-l", "-f", table}),
	      command(CHECK, {"-f", table, "-l", esc, "\x1b\x9b"}),
	      command(CHECK, {"-f", dir + "/missing" + esc, esc}), command(CHECK, {"-" + esc}),
	      named}) {
		Outcome o = run(argv);
		for (const std::string &s : {o.out, o.err})
			for (char c : s)
				EXPECT_TRUE((c >= 0x20 && c < 0x7f) || c == '\n')
					<< "raw byte " << int(static_cast<unsigned char>(c))
					<< " in\n"
					<< s;
	}
}

// Random tables with every awkward kind of record, and callsigns near those
// listed: mybbs-check's answers are ishome's and isknown's on the table.
TEST(CheckAgainstTools, SameAnswers)
{
	std::mt19937 rng(1515);
	auto pick = [&](const auto &v) { return v[rng() % v.size()]; };
	const std::vector<std::string> calls = {"G4ABC",  "g4abc",  "G4ABC-",  "G4", "",
						"DL1XYZ", "G4ABCD", "M0X\x1b", "-1", "G4ABCDE"};
	const std::vector<std::string> homes = {local, lower_case(local), "DB0ABC", "",
						local + ".#23"};
	for (int t = 0; t < 3; t++) {
		// Records, duplicates, and records with no NUL in bytes 0 to 6
		// or none at all; a trailing fragment, or none.
		std::vector<Record> records;
		for (auto n = rng() % 12; n > 0; n--)
			records.push_back(
				n % 4 == 0 && !records.empty() ? pick(records)
				: n % 4 == 1 ? raw_record((pick(calls) + "G4ABCDEFGHIJKLMNOPQRS")
								  .substr(0, 7 + rng() % 14))
					     : record(pick(calls).substr(0, 6), pick(homes)));
		const Record last = record(pick(calls).substr(0, 6), pick(homes));
		ASSERT_TRUE(write_table(MYBBS_PATH, records, std::string(last.data(), rng() % 20)));
		std::vector<std::string> args = {"--"};
		for (int q = 0; q < 20; q++) {
			const Record r = records.empty() ? last : pick(records);
			args.push_back(rng() % 4 == 0 ? std::string(r.data(), strnlen(r.data(), 20))
						      : pick(calls));
		}
		Outcome o = run_prog(CHECK, args);
		ASSERT_EQ(o.status, 0) << o.err;
		std::istringstream lines(o.out);
		std::string line;
		for (size_t q = 1; q < args.size() && std::getline(lines, line); q++) {
			char answers[40];
			snprintf(answers, sizeof answers,
				 "\": ishome %d, isknown %d: ", run_prog(ISHOME, {args[q]}).status,
				 run_prog(ISKNOWN, {args[q]}).status);
			EXPECT_NE(line.find(answers), std::string::npos) << line;
		}
		EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 20);
	}
	unlink(MYBBS_PATH);
}

} // namespace
