// SPDX-License-Identifier: ISC
#include "process.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
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
	// Nothing else, whatever this process inherited itself: a descriptor
	// the program leaves open is then the program's own.
	posix_spawn_file_actions_addclosefrom_np(&fa, 3);

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
