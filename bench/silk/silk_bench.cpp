// Decoding speed of the SILK decoder on the shared vectors, at the internal
// (native) rate and resampled to 48 kHz.  The counter "x_realtime" is seconds
// of audio decoded per second; the baseline of each vector is its decode at
// the native rate, and BM_CopyPcm (copying the same amount of 48 kHz PCM)
// gives the scale of plain memory traffic.
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "unitdb/silk/silk.h"

namespace {

std::string vector_dir() { return std::string(SELVANA_SHARED_DIR) + "/testdata/silk"; }

std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> data;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return data;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) data.insert(data.end(), chunk, chunk + n);
  fclose(f);
  return data;
}

struct Vector {
  std::string name;
  std::vector<std::vector<uint8_t>> packets;
  int32_t native_rate;
};

// Decodes the whole vector once with a fresh decoder; returns the sample count.
int64_t decode_all(const Vector& v, int32_t rate, std::vector<uint8_t>* memory) {
  SilkDecoderState* state = reinterpret_cast<SilkDecoderState*>(memory->data());
  silk_init_decoder(state);
  SilkDecControl control = {};
  control.api_sample_rate = rate;
  control.frames_per_packet = 1;
  int16_t samples[kSilkMaxFrameSamples];
  int64_t total = 0;
  for (const auto& p : v.packets) {
    do {
      int16_t count = 0;
      silk_decode(state, &control, 0, p.data(), static_cast<int32_t>(p.size()), samples, &count);
      benchmark::DoNotOptimize(samples);
      total += count;
    } while (control.more_internal_frames == 1);
  }
  return total;
}

void run_decode(benchmark::State& state, const Vector* v, int32_t rate) {
  int32_t size = 0;
  silk_decoder_size(&size);
  std::vector<uint8_t> memory(static_cast<size_t>(size));
  int64_t samples = 0;
  for (auto _ : state) samples += decode_all(*v, rate, &memory);
  state.SetItemsProcessed(samples);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples) / rate, benchmark::Counter::kIsRate);
}

void BM_CopyPcm(benchmark::State& state) {
  // Two seconds of 48 kHz samples, copied frame by frame.
  std::vector<int16_t> src(96000, 1), dst(96000);
  for (auto _ : state) {
    for (size_t i = 0; i < src.size(); i += kSilkMaxFrameSamples)
      memcpy(&dst[i], &src[i], kSilkMaxFrameSamples * sizeof(int16_t));
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 96000);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 2.0, benchmark::Counter::kIsRate);
}

}  // namespace

int main(int argc, char** argv) {
  static std::vector<Vector> vectors;
  DIR* dir = opendir(vector_dir().c_str());
  if (dir) {
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name.size() < 5 || name.compare(name.size() - 4, 4, ".bit") != 0) continue;
      Vector v;
      v.name = name.substr(0, name.size() - 4);
      std::vector<uint8_t> bits = read_file(vector_dir() + "/" + name);
      for (size_t pos = 0; pos + 2 <= bits.size();) {
        size_t length = bits[pos] | (static_cast<size_t>(bits[pos + 1]) << 8);
        pos += 2;
        if (pos + length > bits.size()) break;
        v.packets.emplace_back(bits.begin() + static_cast<long>(pos), bits.begin() + static_cast<long>(pos + length));
        pos += length;
      }
      // The internal rate of the first packet (the rate whose output needs no
      // resampling): a call with an out-of-range API rate hands the frame back
      // unresampled, 20 ms at the internal rate.
      int32_t size = 0;
      silk_decoder_size(&size);
      std::vector<uint8_t> memory(static_cast<size_t>(size));
      SilkDecoderState* s = reinterpret_cast<SilkDecoderState*>(memory.data());
      silk_init_decoder(s);
      SilkDecControl probe = {};
      probe.api_sample_rate = 48001;
      int16_t out[kSilkMaxFrameSamples];
      int16_t count = 0;
      if (v.packets.empty()) continue;
      silk_decode(s, &probe, 0, v.packets[0].data(), static_cast<int32_t>(v.packets[0].size()), out, &count);
      v.native_rate = count * 50;
      vectors.push_back(std::move(v));
    }
    closedir(dir);
  }
  std::sort(vectors.begin(), vectors.end(), [](const Vector& a, const Vector& b) { return a.name < b.name; });
  benchmark::RegisterBenchmark("BM_CopyPcm", BM_CopyPcm);
  for (const Vector& v : vectors) {
    benchmark::RegisterBenchmark(("BM_SilkDecode/" + v.name + "/native").c_str(), run_decode, &v, v.native_rate);
    benchmark::RegisterBenchmark(("BM_SilkDecode/" + v.name + "/48000").c_str(), run_decode, &v, 48000);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
