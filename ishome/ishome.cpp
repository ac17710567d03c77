// SPDX-License-Identifier: ISC
// ishome CALLSIGN: exits 1 if CALLSIGN is a user whose home BBS is this one,
// 0 for anything else. Prints nothing.
#include "mybbs.h"
#include "mybbs_config.h" // MYBBS_PATH and LOCAL_BBS_CALL, fixed at build time

int main(int argc, char *argv[])
{
	MybbsRecord rec;

	if (argc < 2 || !find_mybbs_record(MYBBS_PATH, argv[1], &rec))
		return EXIT_NO;
	return mybbs_home_is(&rec, LOCAL_BBS_CALL) ? EXIT_YES : EXIT_NO;
}
