// SPDX-License-Identifier: ISC
// gentable TABLE RECORDS [LAST]: writes a realistic home-BBS table of
// RECORDS records with unique callsigns, LAST (if given) in the last one
// with the local BBS as home. The same arguments give the same table.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unordered_set>

#include "mybbs_config.h" // LOCAL_BBS_CALL
#include "table.h"

namespace
{

// Prefixes seen on the air, weighted roughly as a European BBS sees them.
// Those ending in a digit take no district digit of their own.
const char *const prefixes[] = {
	"G",  "G",  "G",  "M",	"M",  "2E", "DL", "DL", "DK", "DJ", "DB", "F",	 "F",  "ON",
	"PA", "PD", "K",  "W",	"N",  "VK", "JA", "EA", "I",  "IK", "OE", "HB9", "SM", "OH",
	"LA", "OZ", "SP", "OK", "YO", "LZ", "EI", "GM", "GW", "VE", "ZL", "ZS",
};

std::string letters(std::mt19937 &rng, int n)
{
	std::string s;
	while (n-- > 0)
		s += static_cast<char>('A' + rng() % 26);
	return s;
}

std::string callsign(std::mt19937 &rng)
{
	std::string p = prefixes[rng() % std::size(prefixes)];
	if (!isdigit(static_cast<unsigned char>(p.back())))
		p += static_cast<char>('0' + rng() % 10);
	return p + letters(rng, 1 + static_cast<int>(rng() % 3)).substr(0, 6 - p.size());
}

// A five-character BBS callsign, and now and then its hierarchical address,
// cut where the record ends.
std::string home_bbs(std::mt19937 &rng, const std::vector<std::string> &bbses)
{
	if (rng() % 8 == 0)
		return LOCAL_BBS_CALL;
	std::string h = bbses[rng() % bbses.size()];
	if (rng() % 3 == 0)
		h += ".#23.GBR.EU";
	return h.substr(0, 13);
}

} // namespace

int main(int argc, char *argv[])
{
	if (argc < 3) {
		fputs("usage: gentable TABLE RECORDS [LAST]\n", stderr);
		return 2;
	}
	const size_t n = strtoul(argv[2], nullptr, 10);
	const std::string last = argc > 3 ? argv[3] : "";
	std::mt19937 rng(20);

	std::vector<std::string> bbses;
	for (const char *p : {"GB7", "DB0", "PI8", "ON0", "F6K", "HB9", "OE1", "VK2", "K1B"})
		for (int i = 0; i < 20; i++)
			bbses.push_back(p + letters(rng, 2));

	std::unordered_set<std::string> seen = {last};
	std::vector<Record> records;
	records.reserve(n);
	while (records.size() + (last.empty() ? 0 : 1) < n) {
		std::string c = callsign(rng);
		if (seen.insert(c).second)
			records.push_back(record(c, home_bbs(rng, bbses)));
	}
	if (!last.empty())
		records.push_back(record(last, LOCAL_BBS_CALL));
	if (!write_table(argv[1], records)) {
		perror(argv[1]);
		return 1;
	}
	return 0;
}
