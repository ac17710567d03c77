// SPDX-License-Identifier: ISC
// The two values this build of mybbs-check was made for: its only file
// that each build compiles for itself.
#include "check.h"
#include "mybbs_config.h"

const char table_path[] = MYBBS_PATH;
const char local_call[] = LOCAL_BBS_CALL;
