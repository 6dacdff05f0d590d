// selvana-vorbis-encode: encodes 16-bit mono PCM into raw Vorbis packets for
// unit databases (no Ogg framing).
//
//   selvana-vorbis-encode [--quality Q] RATE IN.pcm HEADERS.bin PACKETS.bin
//
// HEADERS.bin receives the three header packets, PACKETS.bin the audio
// packets, each packet as a 2-byte little-endian length and its bytes.
#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

void put_packet(std::vector<unsigned char>& out, const ogg_packet& p) {
  out.push_back(static_cast<unsigned char>(p.bytes & 0xff));
  out.push_back(static_cast<unsigned char>((p.bytes >> 8) & 0xff));
  out.insert(out.end(), p.packet, p.packet + p.bytes);
}

bool write_all(const char* path, const std::vector<unsigned char>& bytes) {
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  float quality = 0.0f;
  int i = 1;
  if (argc > 2 && strcmp(argv[1], "--quality") == 0) {
    quality = static_cast<float>(atof(argv[2]));
    i = 3;
  }
  if (argc - i != 4) {
    fprintf(stderr, "usage: selvana-vorbis-encode [--quality Q] RATE IN.pcm HEADERS.bin PACKETS.bin\n");
    return 2;
  }
  long rate = atol(argv[i]);
  std::ifstream in(argv[i + 1], std::ios::binary);
  if (!in) {
    fprintf(stderr, "selvana-vorbis-encode: cannot read %s\n", argv[i + 1]);
    return 1;
  }
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t n = raw.size() / 2;

  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 1, rate, quality) != 0) {
    fprintf(stderr, "selvana-vorbis-encode: cannot set up the encoder for %ld Hz\n", rate);
    return 1;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_packet h[3];
  vorbis_analysis_headerout(&vd, &vc, &h[0], &h[1], &h[2]);
  std::vector<unsigned char> headers, packets;
  for (auto& p : h) put_packet(headers, p);

  size_t pos = 0;
  bool done = false;
  while (!done) {
    size_t chunk = n - pos < 1024 ? n - pos : 1024;
    if (chunk == 0) {
      vorbis_analysis_wrote(&vd, 0);
      done = true;
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(chunk));
      for (size_t k = 0; k < chunk; ++k) {
        int16_t s;
        memcpy(&s, raw.data() + 2 * (pos + k), 2);
        buffer[0][k] = s / 32768.0f;
      }
      vorbis_analysis_wrote(&vd, static_cast<int>(chunk));
      pos += chunk;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) put_packet(packets, op);
    }
  }
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  if (!write_all(argv[i + 2], headers) || !write_all(argv[i + 3], packets)) {
    fprintf(stderr, "selvana-vorbis-encode: cannot write the output\n");
    return 1;
  }
  return 0;
}
