// The class strings (vc, cvox, ctype) that target blocks carry for a phone,
// read from the voice's phone set; "0" for each when the phone is unknown.
#pragma once

#include "core/phoneset.h"
#include "lang_pt_br/phoneset_pt_br.h"

struct PhoneClass {
  const char* vc;
  const char* cvox;
  const char* ctype;
};

inline PhoneClass phone_class(const char* name) {
  return {phone_feature_string(&phoneset_pt_br, name, "vc"), phone_feature_string(&phoneset_pt_br, name, "cvox"),
          phone_feature_string(&phoneset_pt_br, name, "ctype")};
}
