// SPDX-License-Identifier: ISC
// isknown CALLSIGN: exits 1 if CALLSIGN is listed in the home-BBS table at
// all, 0 for anything else. Prints nothing.
#include "mybbs.h"
#include "mybbs_config.h" // MYBBS_PATH, fixed at build time

int main(int argc, char *argv[])
{
	MybbsRecord rec;

	if (argc < 2 || !find_mybbs_record(MYBBS_PATH, argv[1], &rec))
		return EXIT_NO;
	return EXIT_YES;
}
