// SPDX-License-Identifier: ISC
// Stands in for the BBS: builds records and writes home-BBS tables.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

using Record = std::array<char, 20>;

// A well-formed record: call (at most six characters) NUL-terminated at
// byte 0, home (at most thirteen) from byte 7, the rest NUL.
Record record(std::string_view call, std::string_view home = {});

// A record holding these bytes as they stand (at most 20), the rest NUL.
Record raw_record(std::string_view bytes);

// Writes the records and then the tail bytes, which make a trailing
// fragment when there are fewer than 20 of them, as a new file that takes
// the place of the file at path, or with replace false only of none.
// Returns false, errno saying why, if it could not: whatever was at path is
// then left as it was, and nothing else is left behind.
bool write_table(const std::string &path, const std::vector<Record> &records,
		 std::string_view tail = {}, bool replace = true);
