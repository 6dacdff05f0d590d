// Registration cost against database size, and unit lookup.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "core/features.h"
#include "tools/dbwriter.h"
#include "unitdb/unitdb.h"

namespace {

// A database whose last section is `size` bytes, written sparse.
std::string make_db(uint64_t size, const std::string& tag) {
  std::string dir = "/tmp/selvana_bench_" + std::to_string(getpid()) + "_" + tag;
  UnitDbParts p;
  for (int i = 0; i < 1000; ++i) {
    char n[16];
    snprintf(n, sizeof n, "u%04d", i);
    p.units.push_back({n, {}});
  }
  for (int s = 0; s < 3; ++s) p.sections[s] = {1, 2, 3, 4};
  std::vector<uint8_t> bytes = unitdb_build(p, nullptr);
  uint64_t offset = bytes.size();
  // Section 6 spans the rest of the file.
  uint32_t sec_size = static_cast<uint32_t>(size - offset);
  for (int i = 0; i < 4; ++i) {
    bytes[96 + i] = static_cast<uint8_t>(offset >> (8 * i));
    bytes[100 + i] = static_cast<uint8_t>(sec_size >> (8 * i));
  }
  std::string path = unitdb_voice_path(dir, "vox_pt_br_selvana", 2718093645u);
  std::string error;
  UnitDbParts dummy;
  unitdb_write(path, dummy, &error);  // creates the folders
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  if (truncate(path.c_str(), static_cast<off_t>(size)) != 0) perror("truncate");
  return dir;
}

void BM_RegisterDatabase(benchmark::State& state) {
  uint64_t size = static_cast<uint64_t>(state.range(0)) << 20;
  std::string dir = make_db(size, std::to_string(state.range(0)));
  for (auto _ : state) {
    Features* f = features_new();
    features_set_string(f, "name", "vox_pt_br_selvana");
    features_set_string(f, "checksum", "2718093645");
    benchmark::DoNotOptimize(unitdb_load(f, dir.c_str()));
    features_free(f);
  }
  std::string cmd = "rm -rf " + dir;
  if (system(cmd.c_str()) != 0) perror("rm");
}
BENCHMARK(BM_RegisterDatabase)->Arg(1)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_UnitIndexFind10000(benchmark::State& state) {
  std::vector<UnitIndexRecord> records(10000);
  for (int i = 0; i < 10000; ++i) snprintf(records[i].name, 20, "p%03d-q%03d", i / 100, i % 100);
  UnitDatabase db{};
  db.unit_count = 10000;
  db.unit_index = records.data();
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(unit_index_find(&db, records[i].name));
    i = (i + 7919) % 10000;
  }
}
BENCHMARK(BM_UnitIndexFind10000);

}  // namespace

BENCHMARK_MAIN();
