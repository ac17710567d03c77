// SPDX-License-Identifier: ISC
// A path looked up one name at a time, as the kernel looks it up for the
// tools: which directories decide what it names, and where it stops.
#include <cerrno>
#include <cstring>
#include <set>
#include <unistd.h>
#include <utility>
#include <vector>

#include "check.h"

// The names of path, pushed so that the first is popped first.
static void push_names(std::vector<std::string> *names, std::string_view path)
{
	std::vector<std::string> in_order;
	for (size_t at = 0; at < path.size();) {
		size_t slash = std::min(path.find('/', at), path.size());
		if (slash > at && path.substr(at, slash - at) != ".")
			in_order.emplace_back(path.substr(at, slash - at));
		at = slash + 1;
	}
	names->insert(names->end(), in_order.rbegin(), in_order.rend());
}

static std::string joined(const std::string &dir, const std::string &name)
{
	return dir == "." ? name : dir == "/" ? "/" + name : dir + "/" + name;
}

// Where ".." leads from dir, which holds no links: dir without its last name.
static std::string parent(const std::string &dir)
{
	size_t slash = dir.rfind('/');
	if (dir == "." || dir == ".." || dir.ends_with("/.."))
		return joined(dir, "..");
	if (slash == std::string::npos)
		return ".";
	return slash == 0 ? "/" : dir.substr(0, slash);
}

std::string walk_path(const char *path, const DirVisit &visit)
{
	std::set<std::pair<dev_t, ino_t>> seen; // each directory once
	auto look_in = [&](const std::string &dir) {
		struct stat st;
		if (stat(dir.c_str(), &st) == 0 && seen.emplace(st.st_dev, st.st_ino).second)
			visit(dir, st);
	};
	std::string at = path[0] == '/' ? "/" : "."; // where the next name is looked up
	if (at == ".") {
		// A relative path is looked up from the working directory, which
		// is itself a name in each directory above it.
		char cwd[4096];
		if (getcwd(cwd, sizeof cwd) != nullptr)
			for (char *slash = cwd; slash != nullptr; slash = strchr(slash + 1, '/')) {
				std::string dir(cwd, static_cast<size_t>(slash - cwd));
				look_in(dir.empty() ? "/" : dir);
			}
		look_in(cwd);
	}
	std::vector<std::string> names;
	push_names(&names, path);
	for (int links = 0; !names.empty();) {
		const std::string name = names.back(), next = joined(at, name);
		names.pop_back();
		look_in(at);
		struct stat st;
		if (lstat(next.c_str(), &st) != 0) {
			// Every directory up to this one was searched already.
			if (errno == EACCES)
				return format("directory %s cannot be searched by user ",
					      quoted(at).c_str()) +
				       user_name();
			if (errno == ENOENT)
				return names.empty() ? "missing" : quoted(next) + " is missing";
			return quoted(next) + ": " + strerror(errno);
		}
		if (S_ISLNK(st.st_mode)) {
			if (++links > 40) // the kernel's own limit
				return quoted(next) + ": " + strerror(ELOOP);
			char target[4096];
			ssize_t len = readlink(next.c_str(), target, sizeof target);
			if (len <= 0 || static_cast<size_t>(len) >= sizeof target)
				return quoted(next) + ": the link cannot be read";
			push_names(&names, {target, static_cast<size_t>(len)});
			if (target[0] == '/')
				at.assign(1, '/');
			continue;
		}
		if (names.empty())
			break;
		if (!S_ISDIR(st.st_mode))
			return quoted(next) + " is not a directory";
		at = name == ".." ? parent(at) : next;
	}
	return "";
}
