// SPDX-License-Identifier: ISC
#include "process.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sstream>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// An unlinked temporary file under $TMPDIR to catch one output stream.
// Close-on-exec, so that the program run inherits nothing but its standard
// streams.
int capture_file()
{
	const char *dir = getenv("TMPDIR");
	std::string name =
		std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/mybbs-out-XXXXXX";
	int fd = mkostemp(name.data(), O_CLOEXEC);
	if (fd >= 0)
		unlink(name.c_str());
	return fd;
}

// Marks every descriptor but the standard streams close-on-exec, whatever
// this process inherited itself: a descriptor that the program run leaves
// open is then the program's own. (glibc 2.34 has a spawn action for it;
// Debian 11 has glibc 2.31.)
void close_the_rest_on_exec()
{
	DIR *d = opendir("/proc/self/fd");
	if (d == nullptr)
		return;
	while (const dirent *e = readdir(d)) {
		// 0 for "." and ".."
		auto fd = static_cast<int>(strtol(e->d_name, nullptr, 10));
		if (fd > 2 && fd != dirfd(d))
			fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
	}
	closedir(d);
}

std::string slurp(int fd)
{
	std::string s;
	char buf[4096];
	ssize_t n;
	lseek(fd, 0, SEEK_SET);
	while ((n = read(fd, buf, sizeof buf)) > 0)
		s.append(buf, static_cast<size_t>(n));
	close(fd);
	return s;
}

} // namespace

Outcome run(const std::vector<std::string> &argv, int in, int timeout_ms)
{
	int out = capture_file(), err = capture_file();
	posix_spawn_file_actions_t fa;
	posix_spawn_file_actions_init(&fa);
	if (in >= 0)
		posix_spawn_file_actions_adddup2(&fa, in, 0);
	else
		posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_adddup2(&fa, out, 1);
	posix_spawn_file_actions_adddup2(&fa, err, 2);
	close_the_rest_on_exec(); // in is dup2'ed, which clears the flag

	std::vector<char *> args;
	args.reserve(argv.size() + 1);
	for (const std::string &a : argv)
		args.push_back(const_cast<char *>(a.c_str()));
	args.push_back(nullptr);

	pid_t pid;
	int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
	posix_spawn_file_actions_destroy(&fa);
	if (rc != 0) {
		close(out);
		close(err);
		return {-2, "", "cannot start " + argv[0]};
	}

	int status = 0, waited = 0;
	const timespec tick = {0, 1000000};
	while (waitpid(pid, &status, WNOHANG) == 0) {
		if (waited++ >= timeout_ms) {
			kill(pid, SIGKILL);
			waitpid(pid, &status, 0);
			return {-1, slurp(out), slurp(err)};
		}
		nanosleep(&tick, nullptr);
	}
	int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	return {code, slurp(out), slurp(err)};
}

std::vector<std::string> command(const char *prog, const std::vector<std::string> &args,
				 const std::vector<std::string> &as)
{
	std::vector<std::string> argv = as;
	if (const char *wrapper = getenv("MYBBS_TEST_WRAPPER")) {
		std::istringstream words(wrapper);
		for (std::string w; words >> w;)
			argv.push_back(w);
	}
	argv.push_back(prog);
	argv.insert(argv.end(), args.begin(), args.end());
	return argv;
}

bool wrapped()
{
	const char *wrapper = getenv("MYBBS_TEST_WRAPPER");
	return wrapper != nullptr && *wrapper != '\0';
}

std::vector<std::string> without_override()
{
	if (geteuid() != 0)
		return {};
	return {"setpriv", "--inh-caps=-dac_override,-dac_read_search",
		"--bounding-set=-dac_override,-dac_read_search", "--"};
}

std::string lower_case(std::string s)
{
	for (char &c : s)
		c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
	return s;
}

void InDir::SetUp()
{
	std::string name =
		std::filesystem::current_path() /
		(std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
		 "-XXXXXX");
	ASSERT_NE(mkdtemp(name.data()), nullptr) << name;
	dir = name;
}

void InDir::TearDown()
{
	std::error_code ignored;
	if (!HasFailure())
		std::filesystem::remove_all(dir, ignored);
}

bool can_trace(const char *strace)
{
	return !wrapped() && *strace != '\0' &&
	       run({strace, "-o", "/dev/null", "true"}).status == 0;
}

std::vector<std::string> traced(const char *strace, const std::vector<std::string> &options,
				const char *prog, const std::vector<std::string> &args)
{
	const char *asan = getenv("ASAN_OPTIONS");
	std::vector<std::string> argv = {"env",
					 std::string("ASAN_OPTIONS=") +
						 (asan != nullptr ? asan : "") + ":detect_leaks=0",
					 strace};
	argv.insert(argv.end(), options.begin(), options.end());
	argv.emplace_back(prog);
	argv.insert(argv.end(), args.begin(), args.end());
	return argv;
}
