// SPDX-License-Identifier: ISC
// The manual pages' EXAMPLES, run: each literal display there is a shell
// transcript on one table, and the programs must print what it shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "mybbs_config.h" // the e2e programs' MYBBS_PATH and LOCAL_BBS_CALL
#include "process.h"
#include "table.h"

namespace
{

// A display's line as it prints. An escape the examples do not use fails
// the test rather than being misread; \e goes last, as it makes a backslash.
std::string unescape(std::string line)
{
	for (size_t at = line.find('\\'); at != line.npos; at = line.find('\\', at + 1))
		if (line.find_first_of("e&:", at + 1) != at + 1 && line.compare(at, 4, "\\(dq"))
			ADD_FAILURE() << "unknown escape " << line.substr(at, 4) << " in: " << line;
	static const std::pair<std::string, std::string> as_printed[] = {
		{"\\&", ""}, {"\\:", ""}, {"\\(dq", "\""}, {"\\e", "\\"}};
	for (const auto &[from, to] : as_printed)
		for (size_t at = 0; (at = line.find(from, at)) != line.npos; at += to.size())
			line.replace(at, from.size(), to);
	return line;
}

// The literal displays of the page's EXAMPLES section, as they print.
std::vector<std::string> examples(const char *page)
{
	std::ifstream in(page);
	std::vector<std::string> blocks;
	bool section = false, block = false;
	for (std::string line; std::getline(in, line);) {
		if (line.rfind(".Sh ", 0) == 0) {
			section = line == ".Sh EXAMPLES";
		} else if (section && line.rfind(".Bd -literal", 0) == 0) {
			blocks.emplace_back();
			block = true;
		} else if (block && line == ".Ed") {
			block = false;
			EXPECT_EQ(blocks.back().rfind("$ ", 0), 0U)
				<< page << ": an example that is not a transcript:\n"
				<< blocks.back();
		} else if (block) {
			EXPECT_NE(line.find_first_of(".'"), 0U)
				<< "a request in an example: " << line;
			blocks.back() += unescape(line) + "\n";
		}
	}
	EXPECT_FALSE(blocks.empty()) << page << " has no examples";
	return blocks;
}

std::string shell_quoted(const std::string &s)
{
	std::string q = "'";
	for (char c : s)
		q += c == '\'' ? std::string(R"('\'')") : std::string(1, c);
	return q += "'";
}

// A bash script that, in dir, prints each command of the transcript as it
// stands and runs it with its errors among its output: what the script
// prints is the transcript, if the programs print what it shows. The
// programs are functions named as a reader types them; show keeps the
// status before it for the $? of the command it shows.
std::string script(const std::string &dir, const std::string &transcript)
{
	std::string s = "cd " + shell_quoted(dir) + " || exit\n";
	for (const std::filesystem::path prog : {ISHOME, ISKNOWN, CHECK})
		s += prog.filename().string() + "() { $MYBBS_TEST_WRAPPER " + shell_quoted(prog) +
		     " \"$@\"; }\n";
	s += "show() { local status=$?; printf '%s\\n' \"$1\"; return $status; }\n";
	std::string command; // the one being read, with its continuation lines
	auto run_command = [&] {
		if (!command.empty())
			s += "{ " + command + "\n} 2>&1\n";
		command.clear();
	};
	std::istringstream lines(transcript);
	for (std::string line; std::getline(lines, line);) {
		const bool more = line.rfind("> ", 0) == 0 && !command.empty();
		if (!more)
			run_command();
		if (more || line.rfind("$ ", 0) == 0) {
			s += "show " + shell_quoted(line) + "\n";
			command.append(more ? "\n" : "").append(line, 2);
		}
	}
	run_command();
	return s;
}

// The owner and user that a report names are the host's, by name or, where
// the host has none, by uid: any will do.
std::string any_owner(std::string text)
{
	size_t at = text.find("owner "), id = text.find("\" (uid ", at), end = text.find(')', id);
	if (end < text.find('\n', at) && text.find_first_not_of("0123456789", id + 7) == end)
		text.replace(at, end + 1 - at, "owner and user");
	return text;
}

// The one table of every example, at the built-in path and, in dir, as
// spool/mybbs.tab with the modes that the report finds.
void write_tables(const std::string &dir)
{
	const std::string local = LOCAL_BBS_CALL, spool = dir + "/spool";
	const std::string lower = lower_case(local);
	const std::vector<Record> records = {record("G4ABC", local), record("DL1XYZ", "DB0ABC"),
					     record("M0XYZ", local), record("G4ABC", "DB0ABC"),
					     record("g7xyz", local), record("2E0AAA", lower),
					     record("", local),	     raw_record("G4ABCDE" + local)};
	const std::string fragment("PA3DEF\0PI8", 10);
	ASSERT_TRUE(write_table(MYBBS_PATH, records, fragment));
	ASSERT_EQ(mkdir(spool.c_str(), 0755), 0);
	ASSERT_TRUE(write_table(spool + "/mybbs.tab", records, fragment));
	ASSERT_EQ(chmod(spool.c_str(), 0777), 0);
	ASSERT_EQ(chmod((spool + "/mybbs.tab").c_str(), 0666), 0);
}

// Each page's examples run in a directory of the test's own in the build
// tree, which is removed if they pass, with the table at the built-in path.
using Examples = InDir;

TEST_F(Examples, RunAsShown)
{
	write_tables(dir);
	ASSERT_FALSE(HasFailure());
	for (const char *page : {ISHOME_PAGE, CHECK_PAGE}) {
		for (const std::string &block : examples(page)) {
			Outcome o = run({"bash", "-c", script(dir, block)});
			EXPECT_EQ(o.err, "") << o.status;
			EXPECT_TRUE(any_owner(o.out) == any_owner(block))
				<< page << ": an example is not what the programs print.\n"
				<< "The page shows:\n"
				<< block << "They print:\n"
				<< o.out;
		}
	}
	if (!HasFailure())
		unlink(MYBBS_PATH);
}

} // namespace
