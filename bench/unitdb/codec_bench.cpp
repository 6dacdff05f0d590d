// Decoded samples per second for each unit audio coding, and the integer
// Vorbis decoder called directly on the same packets as the baseline.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "core/features.h"
#include "core/platform.h"
#include "tests/support/unit_audio.h"
#include "tools/dbwriter.h"
#include "unitdb/codecs.h"
#include "unitdb/unitdb.h"

namespace {

using namespace unitaudio;

const std::string kDir = "/tmp/selvana_codec_bench_" + std::to_string(getpid());
constexpr uint32_t kChecksum = 2718093645u;

struct Fixture {
  Encoded vorbis;          // one second of a test signal
  std::vector<int16_t> reference;
  std::vector<Bytes> silk;  // the first second of a SILK vector at 16 kHz
  Fixture() {
    std::filesystem::create_directories(kDir);
    vorbis = vorbis_encode(kDir, test_signal(16000, 2));
    reference = tremor_reference(vorbis);
    std::string silk_path = std::string(SELVANA_SHARED_DIR) + "/testdata/silk/silk_pub03_wb16k_60ms_20kbps_c2_fec.bit";
    std::vector<Bytes> all = split_packets(read_all(silk_path));
    silk.assign(all.begin(), all.begin() + std::min<size_t>(all.size(), 17));  // 17 x 60 ms
  }
};

const Fixture& fixture() {
  static const Fixture f;  // benchmark-only state
  return f;
}

// Writes a one-unit database of the given coding and returns its file path
// and the record's size (the record is at the start of section 3).
std::pair<std::string, uint32_t> write_db(uint32_t codec) {
  const Fixture& fx = fixture();
  UnitDbParts p;
  p.codec_type = codec;
  p.units = {{"a-b", {}}};
  for (auto& s : p.sections) s = {0};
  Bytes record;
  uint32_t total = codec == 14 ? 16000 : static_cast<uint32_t>(fx.reference.size());
  append_le16(record, 1);
  append_le16(record, total);
  if (codec == 2) {
    for (uint32_t i = 0; i < total; ++i) append_le16(record, static_cast<uint16_t>(fx.reference[i]));
  } else if (codec == 8) {
    append_le32(record, 0);
    for (const Bytes& pk : fx.vorbis.packets) {
      append_le16(record, static_cast<uint32_t>(pk.size()));
      record.insert(record.end(), pk.begin(), pk.end());
    }
    p.codec_setup = fx.vorbis.headers;
  } else {
    Bytes data;
    const std::vector<Bytes>& packets = codec == 12 ? fx.vorbis.packets : fx.silk;
    for (const Bytes& pk : packets) {
      Bytes s = pk;
      unscramble(s.data(), static_cast<uint32_t>(s.size()), kChecksum);
      if (codec == 12) data.push_back(static_cast<uint8_t>(s.size()));
      else append_le16(data, static_cast<uint32_t>(s.size()));
      data.insert(data.end(), s.begin(), s.end());
    }
    if (codec == 12) {
      p.codec_setup = fx.vorbis.headers;
      unscramble(p.codec_setup.data(), static_cast<uint32_t>(p.codec_setup.size()), kChecksum);
    }
    p.sections[1] = data;
    uint32_t record_size = static_cast<uint32_t>(record.size()) + 10;
    uint32_t offset = 104 + static_cast<uint32_t>(p.section_0.size() + p.codec_setup.size() + 20) + record_size;
    append_le16(record, 0);
    append_le32(record, offset);
    append_le32(record, static_cast<uint32_t>(data.size()));
  }
  p.sections[0] = record;
  std::string path = kDir + "/db" + std::to_string(codec);
  unitdb_write(path, p, nullptr);
  return {path, static_cast<uint32_t>(record.size())};
}

void BM_DecodeUnit(benchmark::State& state) {
  uint32_t codec = static_cast<uint32_t>(state.range(0));
  auto [path, size] = write_db(codec);
  Features* f = features_new();
  features_set_string(f, "name", "vox_pt_br_selvana");
  features_set_string(f, "checksum", "2718093645");
  UnitDatabase* db = unitdb_load(f, path.c_str());
  if (!db) {
    state.SkipWithError("database did not load");
    features_free(f);
    return;
  }
  auto* context = static_cast<DecoderContext*>(heap_alloc(sizeof(DecoderContext)));
  context->file = db->file;
  context->handle = file_open(path.c_str(), kFileRead);
  if (db->file->unit_open) db->file->unit_open(context);
  int64_t samples = 0;
  for (auto _ : state) {
    Track* t = db->file->unit_decode(context, db->section_3, size);
    if (!t) {
      state.SkipWithError("decode failed");
      break;
    }
    samples += t->frame_ends[t->num_frames - 1];
    track_free(t);
  }
  state.SetItemsProcessed(samples);
  decoder_context_release(context);
  features_free(f);
}
BENCHMARK(BM_DecodeUnit)->ArgName("codec")->Arg(2)->Arg(8)->Arg(12)->Arg(14)->Unit(benchmark::kMicrosecond);

// The same packets straight through the integer decoder: the cost floor of
// the Vorbis layouts.
void BM_TremorDirect(benchmark::State& state) {
  const Fixture& fx = fixture();
  TremorDirect decoder(fx.vorbis.headers);
  std::vector<int16_t> out;
  int64_t samples = 0;
  for (auto _ : state) {
    decoder.decode(fx.vorbis.packets, &out);
    samples += static_cast<int64_t>(out.size());
  }
  state.SetItemsProcessed(samples);
}
BENCHMARK(BM_TremorDirect)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
