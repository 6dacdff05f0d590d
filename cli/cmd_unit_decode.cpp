// selvana unit-decode: decodes one unit audio record of a database file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/platform.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "host/voice_host.h"

namespace {

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana unit-decode --db FILE --offset N --size N [--module PATH] OUT.pcm\n"
          "\n"
          "Registers the voice on the database FILE, decodes the unit audio record\n"
          "found at byte OFFSET (SIZE bytes) of the file, writes the samples as\n"
          "16-bit little-endian PCM to OUT.pcm and prints the frame count and the\n"
          "frame ends on one line.\n");
}

bool parse_u32(const char* text, uint32_t* out) {
  char* end = nullptr;
  errno = 0;
  unsigned long long v = strtoull(text, &end, 10);
  if (!*text || *end || errno || v > UINT32_MAX || text[0] == '-') return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

int cmd_unit_decode(int argc, char** argv) {
  HostOptions options;
  std::string error, out_path;
  uint32_t offset = 0, size = 0;
  bool have_offset = false, have_size = false;
  std::vector<CliArg> args;
  std::vector<std::string> operands;
  CliStatus st = cli_parse_host(argc, argv, "selvana unit-decode",
                                {{1, "--db", true}, {2, "--offset", true}, {3, "--size", true}}, &args, &operands,
                                &options);
  if (st != CliStatus::kRun) return cli_exit(st, usage);
  for (const CliArg& a : args) {
    if (a.id == 1) {
      options.voice = a.value;
    } else if (a.id == 2 || a.id == 3) {
      const char* name = a.id == 2 ? "--offset" : "--size";
      if (!parse_u32(a.value.c_str(), a.id == 2 ? &offset : &size)) {
        fprintf(stderr, "selvana unit-decode: %s takes a byte count, not '%s'\n", name, a.value.c_str());
        return 2;
      }
      (a.id == 2 ? have_offset : have_size) = true;
    }
  }
  if (operands.size() > 1) {
    fprintf(stderr, "selvana unit-decode: unexpected argument '%s' (try --help)\n", operands[1].c_str());
    return 2;
  }
  if (!operands.empty()) out_path = operands[0];
  if (options.voice.empty() || !have_offset || !have_size || out_path.empty()) {
    fprintf(stderr, "selvana unit-decode: needs --db FILE, --offset N, --size N and OUT.pcm (try --help)\n");
    return 2;
  }

  HostVoice host;
  if (!cli_voice_open("selvana unit-decode", &host, options)) return 1;
  auto* db = static_cast<UnitDatabase*>(value_diphonedb(features_get(host.voice->features, "diphonedb")));
  UnitDbFile* file = db->file;
  int status = 1;
  auto* context = static_cast<DecoderContext*>(heap_alloc(sizeof(DecoderContext)));
  context->file = file;
  context->handle = file_open(file->path, kFileRead);
  Track* track = nullptr;
  if (static_cast<uint64_t>(offset) + size > file->mapping->length) {
    fprintf(stderr, "selvana unit-decode: the record at %u (%u bytes) lies outside the mapped database\n", offset,
            size);
  } else if (!context->handle) {
    fprintf(stderr, "selvana unit-decode: cannot open %s\n", file->path);
  } else if (file->unit_open && !file->unit_open(context)) {
    fprintf(stderr, "selvana unit-decode: the codec setup of %s cannot be read\n", file->path);
  } else if (!(track = file->unit_decode(context, file->mapping->base + offset, size))) {
    fprintf(stderr, "selvana unit-decode: the record at %u (%u bytes) does not decode\n", offset, size);
  } else {
    FILE* out = fopen(out_path.c_str(), "wb");
    bool ok = out != nullptr;
    uint32_t start = 0;
    for (int32_t f = 0; ok && f < track->num_frames; ++f) {
      for (uint32_t k = 0; ok && k < track->frame_ends[f] - start; ++k) {
        uint16_t s = static_cast<uint16_t>(track->frames[f][k]);
        unsigned char le[2] = {static_cast<unsigned char>(s), static_cast<unsigned char>(s >> 8)};
        ok = fwrite(le, 1, 2, out) == 2;
      }
      start = track->frame_ends[f];
    }
    if (out && fclose(out) != 0) ok = false;
    if (!ok) {
      fprintf(stderr, "selvana unit-decode: cannot write %s\n", out_path.c_str());
    } else {
      printf("%d", track->num_frames);
      for (int32_t f = 0; f < track->num_frames; ++f) printf(" %u", track->frame_ends[f]);
      printf("\n");
      status = 0;
    }
    track_free(track);
  }
  decoder_context_release(context);
  host_voice_close(&host);
  return status;
}
