// selvana-dbwrite: writes a unit database file from its parts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/dbwriter.h"

namespace {

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana-dbwrite [options] (--out FILE | --voxdir DIR)\n"
          "\n"
          "Writes a unit database from its parts.\n"
          "  --out FILE            write the database to FILE\n"
          "  --voxdir DIR          write it at DIR/<name>/<checksum>/<name>22v\n"
          "  --name NAME           database name (default vox_pt_br_selvana)\n"
          "  --checksum N          checksum (default 2718093645)\n"
          "  --rate HZ             sample rate (default 16000)\n"
          "  --codec N             codec type: 2, 8, 12 or 14 (default 2)\n"
          "  --section0 FILE       raw bytes of section 0\n"
          "  --codec-setup FILE    raw bytes of the codec setup\n"
          "  --section3..6 FILE    raw bytes of sections 3 to 6\n"
          "  --omit-section N      leave section N (3 to 6) out\n"
          "  --omit-index          leave the unit index out\n"
          "  --unit NAME           add a unit with that name (repeatable)\n"
          "  --units FILE          add units, one per line: NAME [HEXBYTES]\n");
}

bool read_file(const char* path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool parse_hex(const std::string& hex, std::vector<uint8_t>* out) {
  if (hex.size() % 2) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    char* end = nullptr;
    std::string byte = hex.substr(i, 2);
    long v = strtol(byte.c_str(), &end, 16);
    if (*end) return false;
    out->push_back(static_cast<uint8_t>(v));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  UnitDbParts parts;
  std::string out, voxdir, error;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        fprintf(stderr, "selvana-dbwrite: %s needs a value\n", a.c_str());
        exit(2);
      }
      return argv[++i];
    };
    auto section = [&](std::vector<uint8_t>* dst) {
      const char* path = value();
      if (!read_file(path, dst)) {
        fprintf(stderr, "selvana-dbwrite: cannot read %s\n", path);
        exit(1);
      }
    };
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else if (a == "--out") {
      out = value();
    } else if (a == "--voxdir") {
      voxdir = value();
    } else if (a == "--name") {
      parts.name = value();
    } else if (a == "--checksum") {
      parts.checksum = static_cast<uint32_t>(strtoul(value(), nullptr, 10));
    } else if (a == "--rate") {
      parts.sample_rate = static_cast<uint32_t>(strtoul(value(), nullptr, 10));
    } else if (a == "--codec") {
      parts.codec_type = static_cast<uint32_t>(strtoul(value(), nullptr, 10));
    } else if (a == "--section0") {
      section(&parts.section_0);
    } else if (a == "--codec-setup") {
      section(&parts.codec_setup);
    } else if (a.rfind("--section", 0) == 0 && a.size() == 10 && a[9] >= '3' && a[9] <= '6') {
      section(&parts.sections[a[9] - '3']);
    } else if (a == "--omit-section") {
      int n = atoi(value());
      if (n < 3 || n > 6) {
        fprintf(stderr, "selvana-dbwrite: --omit-section takes 3 to 6\n");
        return 2;
      }
      parts.present[n - 3] = false;
    } else if (a == "--omit-index") {
      parts.index_present = false;
    } else if (a == "--unit") {
      parts.units.push_back({value(), {}});
    } else if (a == "--units") {
      const char* path = value();
      std::ifstream in(path);
      if (!in) {
        fprintf(stderr, "selvana-dbwrite: cannot read %s\n", path);
        return 1;
      }
      std::string line;
      while (std::getline(in, line)) {
        std::istringstream ls(line);
        UnitDbUnit u;
        std::string hex;
        if (!(ls >> u.name)) continue;
        if (ls >> hex && !parse_hex(hex, &u.extra)) {
          fprintf(stderr, "selvana-dbwrite: bad hex bytes for unit %s\n", u.name.c_str());
          return 1;
        }
        parts.units.push_back(u);
      }
    } else {
      fprintf(stderr, "selvana-dbwrite: unknown option '%s' (try --help)\n", a.c_str());
      return 2;
    }
  }
  if (out.empty() && voxdir.empty()) {
    fprintf(stderr, "selvana-dbwrite: give --out FILE or --voxdir DIR (try --help)\n");
    return 2;
  }
  if (out.empty()) out = unitdb_voice_path(voxdir, parts.name, parts.checksum);
  if (!unitdb_write(out, parts, &error)) {
    fprintf(stderr, "selvana-dbwrite: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
