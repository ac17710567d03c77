// SPDX-License-Identifier: ISC
// The two values this build of mybbs-check was made for, declared in
// check.h: its only file that each build compiles for itself.
#include "mybbs_config.h"

extern const char table_path[], local_call[];
const char table_path[] = MYBBS_PATH;
const char local_call[] = LOCAL_BBS_CALL;
