#include "tools/voicedb.h"

#include "unitdb/scramble.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

#include "tools/dbwriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kHostMagic = 0x48564c53;  // "SLVH" in file order
constexpr uint32_t kHeaderSize = 64;
constexpr uint32_t kInstanceSize = 24;
constexpr uint32_t kBlockSize = 80;
constexpr uint32_t kEdgeSize = 32;

void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}
void set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool name_less(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
  });
}

// Interned NUL-terminated strings; offset 0 is the empty string.
class StringTable {
 public:
  StringTable() { bytes_.push_back(0); }
  uint32_t add(const char* s) {
    if (!s || !*s) return 0;
    auto it = offsets_.find(s);
    if (it != offsets_.end()) return it->second;
    uint32_t at = static_cast<uint32_t>(bytes_.size());
    bytes_.insert(bytes_.end(), s, s + strlen(s) + 1);
    offsets_.emplace(s, at);
    return at;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  std::map<std::string, uint32_t> offsets_;
};

void put_block(Bytes& out, const SegmentTarget& t, StringTable& strings) {
  uint32_t measure;
  memcpy(&measure, &t.measure, 4);
  put32(out, measure);
  for (const char* s : {t.pp_name, t.p_name, t.name, t.n_name, t.nn_name, t.label, t.gpos_p, t.gpos, t.gpos_n, t.tone,
                        t.ph_vc, t.ph_cvox, t.ph_ctype})
    put32(out, strings.add(s));
  for (uint8_t v : {t.pos1, t.pos2, t.pos3, t.mark, t.pos4, t.pos5, t.level1, t.level2, t.level3, t.level4, t.level5,
                    t.level6, t.flag1, t.flag2, t.flag3, t.flag4, t.flag5, t.label_value})
    out.push_back(v);
  out.resize(out.size() + 6, 0);
}

void put_edge(Bytes& out, const JoinEdge& e) {
  put16(out, e.edge_value);
  out.insert(out.end(), e.reserved, e.reserved + 6);
  put16(out, static_cast<uint16_t>(e.edge_level));
  put16(out, e.edge_a);
  put16(out, static_cast<uint16_t>(e.edge_b));
  put16(out, e.edge_c);
  out.insert(out.end(), e.coef, e.coef + 16);
}

Bytes read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<Bytes> split_packets(const Bytes& data) {
  std::vector<Bytes> out;
  for (size_t i = 0; i + 2 <= data.size();) {
    size_t n = data[i] | data[i + 1] << 8;
    if (i + 2 + n > data.size()) break;
    out.emplace_back(data.begin() + static_cast<long>(i + 2), data.begin() + static_cast<long>(i + 2 + n));
    i += 2 + n;
  }
  return out;
}

// Encodes one unit with the Vorbis encoder tool.  The signal is followed by
// silence so that the decoder's output covers every sample of the unit.
bool vorbis_encode(const VoiceDbRecipe& recipe, const std::vector<int16_t>& samples, Bytes* headers,
                   std::vector<Bytes>* packets, std::string* error) {
  std::string dir = recipe.work_dir.empty() ? std::filesystem::temp_directory_path().string() : recipe.work_dir;
  std::string stem = dir + "/voicedb_" + std::to_string(getpid());
  std::string in = stem + ".pcm", h = stem + ".hdr", p = stem + ".pkt";
  std::vector<int16_t> padded = samples;
  padded.resize(samples.size() + 2048, 0);
  {
    std::ofstream f(in, std::ios::binary);
    f.write(reinterpret_cast<const char*>(padded.data()), static_cast<std::streamsize>(2 * padded.size()));
    if (!f) {
      *error = "cannot write " + in;
      return false;
    }
  }
  char quality[32];
  snprintf(quality, sizeof quality, "%g", static_cast<double>(recipe.vorbis_quality));
#ifdef _WIN32
  // cmd.exe: double quotes, and the whole line quoted once more.
  auto q = [](const std::string& s) { return "\"" + s + "\""; };
#else
  auto q = [](const std::string& s) { return "'" + s + "'"; };
#endif
  std::string cmd = q(recipe.vorbis_encoder) + " --quality " + quality + " " + std::to_string(recipe.sample_rate) +
                    " " + q(in) + " " + q(h) + " " + q(p);
#ifdef _WIN32
  cmd = q(cmd);
#endif
  int status = std::system(cmd.c_str());
  Bytes hdr = read_all(h), pkt = read_all(p);
  std::remove(in.c_str());
  std::remove(h.c_str());
  std::remove(p.c_str());
  if (status != 0 || hdr.empty()) {
    *error = "the Vorbis encoder failed: " + cmd;
    return false;
  }
  *headers = hdr;
  *packets = split_packets(pkt);
  return true;
}

struct Record {
  Bytes bytes;         // the unit audio record
  size_t offset_at;    // where its packet-store offset sits (codecs 12, 14)
  Bytes store;         // its packet data (codecs 12, 14)
};

}  // namespace

namespace {

// The samples [at - half, at + half) that exist.
struct Window {
  const int16_t* p;
  size_t n;
};
Window window(const int16_t* samples, size_t n, size_t at, size_t half) {
  size_t begin = at > half ? at - half : 0;
  size_t end = std::min(n, at + half);
  if (begin >= end) return {samples, 0};
  return {samples + begin, end - begin};
}

double rms_of(Window w) {
  double sum = 0;
  for (size_t i = 0; i < w.n; ++i) sum += static_cast<double>(w.p[i]) * w.p[i];
  return w.n ? std::sqrt(sum / static_cast<double>(w.n)) : 0;
}

// f0 in Hz by normalised autocorrelation, 0 when unvoiced.
double f0_of(Window w, uint32_t rate, double rms) {
  if (rms < 100 || w.n == 0) return 0;
  const size_t min_lag = rate / 500, max_lag = rate / 70;
  double best = 0;
  size_t best_lag = 0;
  for (size_t lag = min_lag; lag <= max_lag && lag + 16 < w.n; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i + lag < w.n; ++i) {
      xy += static_cast<double>(w.p[i]) * w.p[i + lag];
      xx += static_cast<double>(w.p[i]) * w.p[i];
      yy += static_cast<double>(w.p[i + lag]) * w.p[i + lag];
    }
    double r = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    if (r > best) {
      best = r;
      best_lag = lag;
    }
  }
  return best > 0.5 && best_lag ? static_cast<double>(rate) / static_cast<double>(best_lag) : 0;
}

}  // namespace

JoinEdge voicedb_edge_from_samples(const int16_t* samples, size_t n, size_t at, uint32_t rate) {
  JoinEdge e{};
  const Window w20 = window(samples, n, at, rate / 100);
  const double rms = rms_of(w20);
  e.edge_value = static_cast<uint16_t>(std::clamp(std::lround(rms), 1L, 65535L));
  e.edge_b = static_cast<int16_t>(rms < 1 ? -200 : std::max(-200L, std::lround(40 * std::log10(rms / 32768))));
  const double f0 = f0_of(window(samples, n, at, rate / 50), rate, rms);
  const long tenths = std::lround(f0 * 10);
  e.reserved[0] = static_cast<uint8_t>(tenths);
  e.reserved[1] = static_cast<uint8_t>(tenths >> 8);
  e.edge_level = static_cast<int16_t>(f0 > 0 ? std::max(1L, std::lround(12 * std::log2(f0 / 55))) : 0);
  const Window w10 = window(samples, n, at, rate / 200);
  int crossings = 0;
  for (size_t i = 1; i < w10.n; ++i) crossings += (w10.p[i - 1] < 0) != (w10.p[i] < 0);
  e.edge_a = static_cast<uint16_t>((crossings + 2) / 4);
  // Band energies from a direct DFT of the 20 ms window (Hann weighted).
  double band[16] = {};
  double total = 0;
  const size_t len = w20.n;
  std::vector<double> x(len), cosine(len), sine(len);
  for (size_t i = 0; i < len; ++i) {
    x[i] = w20.p[i] * (0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(len - 1)));
    cosine[i] = std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(len));
    sine[i] = std::sin(2 * M_PI * static_cast<double>(i) / static_cast<double>(len));
  }
  for (size_t k = 1; len > 1 && k < len / 2; ++k) {
    double re = 0, im = 0;
    for (size_t i = 0, phase = 0; i < len; ++i, phase = (phase + k) % len) {
      re += x[i] * cosine[phase];
      im -= x[i] * sine[phase];
    }
    double p = re * re + im * im;
    size_t b = std::min<size_t>(15, k * 32 / len);
    band[b] += p;
    total += p;
  }
  int strongest = 0;
  for (int b = 0; b < 16; ++b) {
    if (band[b] > band[strongest]) strongest = b;
    double db = total > 0 && band[b] > 0 ? 10 * std::log10(band[b] / total) : -100;
    e.coef[b] = static_cast<uint8_t>(std::clamp(std::lround(100 + db), 0L, 255L));
  }
  e.edge_c = static_cast<uint16_t>(total > 0 ? strongest : 0);
  return e;
}

void voicedb_scramble(uint8_t* block, uint32_t length, uint32_t checksum) { unscramble(block, length, checksum); }

bool voicedb_build(const VoiceDbRecipe& recipe, std::vector<uint8_t>* out, std::string* error) {
  const uint32_t codec = recipe.codec_type;
  if (codec != 2 && codec != 8 && codec != 12 && codec != 14) {
    *error = "codec type " + std::to_string(codec) + " is not 2, 8, 12 or 14";
    return false;
  }
  if ((codec == 8 || codec == 12) && recipe.vorbis_encoder.empty()) {
    *error = "Vorbis coding needs the encoder tool";
    return false;
  }

  // Instances of one diphone are consecutive, diphones in index order.
  std::vector<size_t> order(recipe.units.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return name_less(recipe.units[a].diphone, recipe.units[b].diphone); });

  StringTable strings;
  Bytes instances, blocks, edges, audio, marks;
  std::vector<Record> records;
  Bytes setup;
  uint32_t recordings = 0;
  size_t group_first = 0;
  UnitDbParts parts;
  parts.name = recipe.name;
  parts.checksum = recipe.checksum;
  parts.sample_rate = recipe.sample_rate;
  parts.codec_type = codec;

  for (size_t k = 0; k < order.size(); ++k) {
    const VoiceDbUnit& u = recipe.units[order[k]];
    if (u.diphone.empty() || u.diphone.size() > 9) {
      *error = "diphone name '" + u.diphone + "' is empty or longer than 9 bytes";
      return false;
    }
    uint32_t total = u.pad_left + u.core_length + u.pad_right;
    if (total > 65535 || u.boundary > u.core_length) {
      *error = "unit " + u.diphone + ": frame ends do not fit 16 bits or the boundary lies outside the unit";
      return false;
    }
    if (codec != 14 && u.samples.size() != total) {
      *error = "unit " + u.diphone + ": " + std::to_string(u.samples.size()) + " samples instead of " +
               std::to_string(total);
      return false;
    }
    if (codec == 14 && total > 0 && u.packets.empty()) {
      *error = "unit " + u.diphone + ": no SILK packets";
      return false;
    }
    recordings = std::max(recordings, u.recording + 1);

    // Index: a new record for the first instance of each diphone; its host
    // bytes (at byte 12) hold the first instance and the instance count.
    if (parts.units.empty() || parts.units.back().name != u.diphone) {
      UnitDbUnit rec;
      rec.name = u.diphone;
      rec.extra.assign(12 - (u.diphone.size() + 1), 0);
      put32(rec.extra, static_cast<uint32_t>(k));
      put32(rec.extra, 0);
      parts.units.push_back(rec);
      group_first = k;
    }
    Bytes& extra = parts.units.back().extra;
    set32(extra, extra.size() - 4, static_cast<uint32_t>(k + 1 - group_first));

    // Audio record: a frame table of four frames (left context, left half,
    // right half, right context), then the coding's own part.
    Record r;
    r.offset_at = 0;
    put16(r.bytes, 4);
    put16(r.bytes, u.pad_left);
    put16(r.bytes, u.pad_left + u.boundary);
    put16(r.bytes, u.pad_left + u.core_length);
    put16(r.bytes, total);
    if (codec == 2) {
      for (int16_t s : u.samples) put16(r.bytes, static_cast<uint16_t>(s));
    } else if (codec == 8 || codec == 12) {
      Bytes headers;
      std::vector<Bytes> packets;
      if (!vorbis_encode(recipe, u.samples, &headers, &packets, error)) return false;
      if (setup.empty()) {
        setup = headers;
      } else if (setup != headers) {
        *error = "the Vorbis encoder gave different headers for unit " + u.diphone;
        return false;
      }
      if (codec == 8) {
        put32(r.bytes, 0);
        for (const Bytes& p : packets) {
          put16(r.bytes, static_cast<uint32_t>(p.size()));
          r.bytes.insert(r.bytes.end(), p.begin(), p.end());
        }
      } else {
        put16(r.bytes, 0);  // skip
        r.offset_at = r.bytes.size();
        put32(r.bytes, 0);
        for (Bytes p : packets) {
          if (p.size() > 255) {
            *error = "unit " + u.diphone + ": a Vorbis packet of " + std::to_string(p.size()) +
                     " bytes does not fit a 1-byte length (lower the quality)";
            return false;
          }
          voicedb_scramble(p.data(), static_cast<uint32_t>(p.size()), recipe.checksum);
          r.store.push_back(static_cast<uint8_t>(p.size()));
          r.store.insert(r.store.end(), p.begin(), p.end());
        }
        put32(r.bytes, static_cast<uint32_t>(r.store.size()));
      }
    } else {
      put16(r.bytes, u.skip);
      r.offset_at = r.bytes.size();
      put32(r.bytes, 0);
      for (Bytes p : u.packets) {
        if (p.size() > 5132) {
          *error = "unit " + u.diphone + ": a SILK packet longer than 5132 bytes";
          return false;
        }
        voicedb_scramble(p.data(), static_cast<uint32_t>(p.size()), recipe.checksum);
        put16(r.store, static_cast<uint32_t>(p.size()));
        r.store.insert(r.store.end(), p.begin(), p.end());
      }
      put32(r.bytes, static_cast<uint32_t>(r.store.size()));
    }
    while (audio.size() % 4) audio.push_back(0);
    put32(instances, static_cast<uint32_t>(audio.size()));
    put32(instances, static_cast<uint32_t>(r.bytes.size()));
    put32(instances, u.recording);
    put32(instances, u.position);
    put32(instances, static_cast<uint32_t>(marks.size() / 2));
    put32(instances, static_cast<uint32_t>(u.pitch_marks.size()));
    for (uint16_t m : u.pitch_marks) {
      if (m >= total) {
        *error = "unit " + u.diphone + ": a pitch mark lies outside its samples";
        return false;
      }
      put16(marks, m);
    }
    r.offset_at += audio.size();
    audio.insert(audio.end(), r.bytes.begin(), r.bytes.end());
    put_block(blocks, u.left, strings);
    put_block(blocks, u.right, strings);
    put_edge(edges, u.start_edge);
    put_edge(edges, u.end_edge);
    records.push_back(std::move(r));
  }
  if (codec == 12 && !setup.empty()) voicedb_scramble(setup.data(), static_cast<uint32_t>(setup.size()), recipe.checksum);

  Bytes store;
  for (const Record& r : records) store.insert(store.end(), r.store.begin(), r.store.end());

  Bytes s0;
  put32(s0, kHostMagic);
  put32(s0, kVoiceDbLayoutVersion);
  put32(s0, static_cast<uint32_t>(recipe.units.size()));
  put32(s0, kInstanceSize);
  put32(s0, kBlockSize);
  put32(s0, kEdgeSize);
  put32(s0, static_cast<uint32_t>(strings.bytes().size()));
  put32(s0, recordings);
  put32(s0, 0);  // packet store offset, set below
  put32(s0, static_cast<uint32_t>(store.size()));
  put32(s0, 0);  // pitch mark table offset, set below
  put32(s0, static_cast<uint32_t>(marks.size() / 2));
  s0.resize(kHeaderSize, 0);
  s0.insert(s0.end(), strings.bytes().begin(), strings.bytes().end());
  while (s0.size() % 2) s0.push_back(0);
  set32(s0, 40, static_cast<uint32_t>(s0.size()));
  s0.insert(s0.end(), marks.begin(), marks.end());

  parts.section_0 = s0;
  parts.codec_setup = setup;
  parts.sections[0] = instances;
  parts.sections[1] = blocks;
  parts.sections[2] = edges;
  parts.sections[3] = audio;

  // The packet store follows the mapped sections; its place is known once
  // the rest is laid out (patching offsets does not change any size).
  Bytes file = unitdb_build(parts, error);
  if (file.empty()) return false;
  if (!store.empty()) {
    const uint32_t base = static_cast<uint32_t>(file.size());
    set32(parts.section_0, 32, base);
    uint32_t at = base;
    for (const Record& r : records) {
      if (r.offset_at) set32(parts.sections[3], r.offset_at, at);
      at += static_cast<uint32_t>(r.store.size());
    }
    file = unitdb_build(parts, error);
    if (file.empty()) return false;
    file.insert(file.end(), store.begin(), store.end());
  }
  *out = std::move(file);
  return true;
}

bool voicedb_write(const std::string& path, const VoiceDbRecipe& recipe, std::string* error) {
  Bytes bytes;
  if (!voicedb_build(recipe, &bytes, error)) return false;
  std::error_code ec;
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot write " + path;
    return false;
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fclose(f) == 0 && ok;
  if (!ok) *error = "cannot write " + path;
  return ok;
}
