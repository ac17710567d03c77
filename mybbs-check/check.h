// SPDX-License-Identifier: ISC
// mybbs-check, by role: main.cpp reads the options and opens the table,
// text.cpp shows bytes and names what is odd in them, report.cpp reports on
// the whole table, and explain.cpp explains single answers.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "mybbs.h"

enum { EXIT_CLEAN = 0, EXIT_FINDINGS = 1, EXIT_UNUSABLE = 2 };

// main.cpp
extern const char *table; // the table to read: -f's, or MYBBS_PATH
extern bool table_given;  // whether -f gave it
// One line on standard error, after "mybbs-check: ".
void complain(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// Says on standard error why the table cannot be used.
void unusable(const std::string &why);
// Opens the table as the tools do, or says why not and returns nullptr.
FILE *open_or_say_why();

// text.cpp
const char *bytes_of(const MybbsRecord *rec);
// The user callsign as the scan sees it, the bytes before the record's
// first NUL: all 20 when there is none.
std::string_view call_of(const MybbsRecord *rec);
std::string_view home_of(const MybbsRecord *rec); // from byte 7 to a NUL
// Bytes from the table or the command line, in double quotes, safe to print.
std::string quoted(std::string_view s);
// What a caller would seldom type in s: "" when it holds only upper case
// letters, digits, '-' and '/'.
std::string awkward(std::string_view s);
bool same_ignoring_case(std::string_view a, std::string_view b);
const char *file_kind(mode_t mode);
std::string user_name(); // the user running the check, with uid
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char *fmt, va_list ap) __attribute__((format(printf, 1, 0)));

// report.cpp
int report(bool listing);
void list(FILE *fp); // every record, indented so that none reads as a finding

// explain.cpp
int answer(char *const calls[], int n, bool listing);
