// selvana silk-decode: decodes a file of SILK packets to 16-bit PCM, for
// checking and debugging the SILK decoder.
//
// The packets file holds, for each packet, a 2-byte little-endian payload
// length and the payload.  Every packet is decoded with one fresh decoder,
// calling it again with the same payload while it reports more frames in the
// packet, and every call's samples are written whatever its return code.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "unitdb/silk/silk.h"

namespace {

constexpr const char* kUsage = "usage: selvana silk-decode --rate HZ [--log FILE] PACKETS OUT.pcm\n";

void print_help() {
  printf(
      "%s"
      "\n"
      "Decodes a SILK packets file (per packet: 2-byte little-endian length, then\n"
      "the payload) with a fresh decoder and writes the samples as 16-bit\n"
      "little-endian PCM at the API rate.  A packet is decoded again while the\n"
      "decoder reports more frames in it; samples are written for every call,\n"
      "whatever its return code.\n"
      "\n"
      "Options:\n"
      "  --rate HZ    output (API) sample rate in Hz, 8000 to 48000\n"
      "  --log FILE   write one line per decoder call:\n"
      "               pkt ret nsamples frameSize framesPerPacket\n"
      "               moreInternalDecoderFrames inBandFECOffset\n"
      "  --help       show this text\n",
      kUsage);
}

bool read_file(const char* path, std::vector<uint8_t>* data) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) data->insert(data->end(), chunk, chunk + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

bool parse_rate(const char* text, int32_t* rate) {
  char* end = nullptr;
  long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
  *rate = static_cast<int32_t>(value);
  return true;
}

}  // namespace

int cmd_silk_decode(int argc, char** argv) {
  const char* rate_text = nullptr;
  const char* log_path = nullptr;
  const char* positional[2] = {nullptr, nullptr};
  int npositional = 0;
  std::vector<CliArg> args;
  std::vector<std::string> operands;
  CliStatus st = cli_parse(argc, argv, "selvana silk-decode", {{1, "--rate", true}, {2, "--log", true}}, &args,
                           &operands);
  if (st == CliStatus::kHelp) {
    print_help();
    return 0;
  }
  if (st == CliStatus::kBadUsage) return 2;
  for (const CliArg& a : args) (a.id == 1 ? rate_text : log_path) = a.value.c_str();
  if (operands.size() > 2) {
    fprintf(stderr, "selvana silk-decode: too many arguments (try --help)\n");
    return 2;
  }
  for (const std::string& o : operands) positional[npositional++] = o.c_str();
  if (rate_text == nullptr || npositional != 2) {
    fputs(kUsage, stderr);
    return 2;
  }
  int32_t rate = 0;
  if (!parse_rate(rate_text, &rate)) {
    fprintf(stderr, "selvana silk-decode: bad rate '%s'\n", rate_text);
    return 2;
  }

  std::vector<uint8_t> packets;
  if (!read_file(positional[0], &packets)) {
    fprintf(stderr, "selvana silk-decode: cannot read '%s'\n", positional[0]);
    return 1;
  }
  FILE* out = fopen(positional[1], "wb");
  if (!out) {
    fprintf(stderr, "selvana silk-decode: cannot write '%s'\n", positional[1]);
    return 1;
  }
  FILE* log = nullptr;
  if (log_path) {
    log = fopen(log_path, "wb");  // the same bytes on every system
    if (!log) {
      fclose(out);
      fprintf(stderr, "selvana silk-decode: cannot write '%s'\n", log_path);
      return 1;
    }
    fputs("# pkt ret nsamples frameSize framesPerPacket moreInternalDecoderFrames inBandFECOffset\n", log);
  }

  int32_t state_size = 0;
  silk_decoder_size(&state_size);
  std::vector<uint8_t> state_memory(static_cast<size_t>(state_size));
  SilkDecoderState* state = reinterpret_cast<SilkDecoderState*>(state_memory.data());
  silk_init_decoder(state);
  SilkDecControl control = {};
  control.api_sample_rate = rate;
  control.frames_per_packet = 1;

  int status = 0;
  bool write_failed = false;
  std::vector<uint8_t> payload;
  int16_t samples[kSilkMaxFrameSamples];
  uint8_t bytes[2 * kSilkMaxFrameSamples];
  size_t pos = 0;
  for (int packet = 0; pos < packets.size(); packet++) {
    if (packets.size() - pos < 2) {
      fprintf(stderr, "selvana silk-decode: truncated length of packet %d\n", packet);
      status = 1;
      break;
    }
    size_t length = packets[pos] | (static_cast<size_t>(packets[pos + 1]) << 8);
    pos += 2;
    if (packets.size() - pos < length) {
      fprintf(stderr, "selvana silk-decode: packet %d is truncated\n", packet);
      status = 1;
      break;
    }
    payload.assign(packets.begin() + static_cast<long>(pos), packets.begin() + static_cast<long>(pos + length));
    pos += length;
    do {
      int16_t count = 0;
      int ret = silk_decode(state, &control, 0, payload.data(), static_cast<int32_t>(length), samples, &count);
      for (int i = 0; i < count; i++) {
        bytes[2 * i] = static_cast<uint8_t>(samples[i] & 0xff);
        bytes[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(samples[i]) >> 8) & 0xff);
      }
      if (count > 0 && fwrite(bytes, 2, static_cast<size_t>(count), out) != static_cast<size_t>(count))
        write_failed = true;
      if (log)
        fprintf(log, "%d %d %d %d %d %d %d\n", packet, ret, count, control.frame_size, control.frames_per_packet,
                control.more_internal_frames, control.inband_fec_offset);
      // A bad API rate leaves the control's out fields untouched; stop there.
      if (ret == kSilkInvalidApiRate) break;
    } while (control.more_internal_frames == 1);
  }
  if (fclose(out) != 0) write_failed = true;
  if (log && fclose(log) != 0) write_failed = true;
  if (write_failed) {
    fprintf(stderr, "selvana silk-decode: cannot write the output\n");
    status = 1;
  }
  return status;
}
