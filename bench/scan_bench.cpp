// SPDX-License-Identifier: ISC
// The scan in-process, on generated tables, for a callsign not listed:
// records per second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "mybbs.h"

static void scan(benchmark::State &state)
{
	const auto n = state.range(0);
	const std::string table = TABLE_DIR "/scan_bench_" + std::to_string(n) + ".tab";
	const std::string make = GENTABLE " " + table + " " + std::to_string(n);
	if (system(make.c_str()) != 0) { // NOLINT(cert-env33-c): the build's own gentable
		state.SkipWithError("gentable failed");
		return;
	}
	MybbsRecord rec;
	for (auto _ : state)
		benchmark::DoNotOptimize(find_mybbs_record(table.c_str(), "2E9ZZZ", &rec));
	state.SetItemsProcessed(state.iterations() * n);
	remove(table.c_str());
}
BENCHMARK(scan)->Arg(1000)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
