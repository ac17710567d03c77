// SPDX-License-Identifier: ISC
// mybbs-check says in words what ishome and isknown answer about each
// callsign, and why; with no callsign, it reports on the home-BBS table
// itself. It is for the people who run the BBS: the tools say nothing by
// design. By role: main.cpp reads the options and opens the table, text.cpp
// shows bytes and names what is odd in them, report.cpp reports on the whole
// table, and explain.cpp explains single answers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "mybbs.h"
#include "mybbs_config.h"

enum { EXIT_CLEAN = 0, EXIT_FINDINGS = 1, EXIT_UNUSABLE = 2 };

// main.cpp
extern const char *table;	       // the table to read: -f's, or MYBBS_PATH
extern bool table_given;	       // whether -f gave it
void unusable(const std::string &why); // why the table cannot be used, on standard error
FILE *open_or_say_why();	       // as the tools open it; nullptr after unusable()

// text.cpp
const char *bytes_of(const MybbsRecord *rec);
std::string_view call_of(const MybbsRecord *rec); // the bytes before the first NUL, or all 20
std::string_view home_of(const MybbsRecord *rec); // from byte 7 to a NUL
std::string quoted(std::string_view s);		  // in double quotes, safe for a terminal
std::string awkward(std::string_view s);	  // what a caller would seldom type; "" if nothing
bool same_ignoring_case(std::string_view a, std::string_view b);
const char *file_kind(mode_t mode);
std::string user_name(); // the user running the check, and the uid
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// report.cpp
int report(bool listing);
void list(FILE *fp); // every record, indented so that none reads as a finding

// explain.cpp
int answer(char *const calls[], int n, bool listing);
