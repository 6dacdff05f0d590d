// SSML documents from untrusted bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "host/ssml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<SsmlPiece> pieces;
  std::vector<std::string> warnings;
  std::string error;
  ssml_parse(std::string(reinterpret_cast<const char*>(data), size), &pieces, &error, &warnings);
  return 0;
}
