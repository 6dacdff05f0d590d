// X-SAMPA transcriptions from untrusted bytes.
#include <cstdint>
#include <string>

#include "core/value.h"
#include "lang_pt_br/xsampa.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);  // stops at a NUL, as a C string would
  value_release(xsampa_to_xkelto_func(text.c_str()));
  return 0;
}
