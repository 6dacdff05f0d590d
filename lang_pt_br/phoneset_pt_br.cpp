#include "lang_pt_br/phoneset_pt_br.h"

#include <cstdint>

#include "core/platform.h"

namespace {

constexpr const char* kFeatureNames[] = {"vc", "cvox", "vheight", "vfront", "vrnd", "ctype", "cplace", nullptr};

// The distinct feature values; the matrix below indexes this array.
constexpr Value kPlus = value_permanent_string("+");    // 0
constexpr Value kZero = value_permanent_string("0");    // 1
constexpr Value kThree = value_permanent_string("3");   // 2
constexpr Value kTwo = value_permanent_string("2");     // 3
constexpr Value kMinus = value_permanent_string("-");   // 4
constexpr Value kP = value_permanent_string("p");       // 5
constexpr Value kL = value_permanent_string("l");       // 6
constexpr Value kA = value_permanent_string("a");       // 7
constexpr Value kD = value_permanent_string("d");       // 8
constexpr Value kOne = value_permanent_string("1");     // 9
constexpr Value kF = value_permanent_string("f");       // 10
constexpr Value kB = value_permanent_string("b");       // 11
constexpr Value kV = value_permanent_string("v");       // 12
constexpr Value kG = value_permanent_string("g");       // 13
constexpr Value kN = value_permanent_string("n");       // 14
constexpr Value kR = value_permanent_string("r");       // 15

constexpr const Value* kFeatureValues[] = {&kPlus, &kZero, &kThree, &kTwo, &kMinus, &kP, &kL, &kA, &kD,
                                           &kOne,  &kF,    &kB,     &kV,   &kG,     &kN, &kR, nullptr};

// Sorted in ascending byte order, so lookups may bisect.
constexpr const char* kPhoneNames[] = {
    "a", "an", "b", "ch", "d", "e",  "eh", "en", "f",   "g", "h", "i",  "in", "j", "jh", "k", "l", "lj",
    "m", "n",  "ni", "o", "oh", "on", "p", "pau", "r", "s", "sh", "t", "u", "un", "v", "w", "z", "zh",
};
constexpr int32_t kNumPhones = static_cast<int32_t>(sizeof(kPhoneNames) / sizeof(kPhoneNames[0]));

// One row per phone, in the order of kPhoneNames: indices into
// kFeatureValues for vc, cvox, vheight, vfront, vrnd, ctype, cplace, then -1.
//                                  vc cvox vh  vf vrnd ct  cp
constexpr int32_t kMatrix[kNumPhones][8] = {
    /* a   */ {0, 1, 2, 3, 4, 1, 1, -1},     // + 0 3 2 - 0 0
    /* an  */ {0, 1, 3, 3, 4, 1, 1, -1},     // + 0 2 2 - 0 0
    /* b   */ {4, 0, 1, 1, 1, 5, 6, -1},     // - + 0 0 0 p l
    /* ch  */ {4, 4, 1, 1, 1, 7, 5, -1},     // - - 0 0 0 a p
    /* d   */ {4, 0, 1, 1, 1, 5, 8, -1},     // - + 0 0 0 p d
    /* e   */ {0, 1, 3, 9, 4, 1, 1, -1},     // + 0 2 1 - 0 0
    /* eh  */ {0, 1, 2, 9, 4, 1, 1, -1},     // + 0 3 1 - 0 0
    /* en  */ {0, 1, 3, 9, 4, 1, 1, -1},     // + 0 2 1 - 0 0
    /* f   */ {4, 4, 1, 1, 1, 10, 11, -1},   // - - 0 0 0 f b
    /* g   */ {4, 0, 1, 1, 1, 5, 12, -1},    // - + 0 0 0 p v
    /* h   */ {4, 4, 1, 1, 1, 10, 12, -1},   // - - 0 0 0 f v
    /* i   */ {0, 1, 9, 9, 4, 1, 1, -1},     // + 0 1 1 - 0 0
    /* in  */ {0, 1, 9, 3, 4, 1, 1, -1},     // + 0 1 2 - 0 0  (central, unlike i)
    /* j   */ {4, 0, 1, 1, 1, 13, 5, -1},    // - + 0 0 0 g p
    /* jh  */ {4, 0, 1, 1, 1, 7, 5, -1},     // - + 0 0 0 a p
    /* k   */ {4, 4, 1, 1, 1, 5, 12, -1},    // - - 0 0 0 p v
    /* l   */ {4, 0, 1, 1, 1, 6, 7, -1},     // - + 0 0 0 l a
    /* lj  */ {4, 0, 1, 1, 1, 6, 5, -1},     // - + 0 0 0 l p
    /* m   */ {4, 0, 1, 1, 1, 14, 6, -1},    // - + 0 0 0 n l
    /* n   */ {4, 0, 1, 1, 1, 14, 7, -1},    // - + 0 0 0 n a
    /* ni  */ {4, 0, 1, 1, 1, 14, 5, -1},    // - + 0 0 0 n p
    /* o   */ {0, 1, 3, 2, 0, 1, 1, -1},     // + 0 2 3 + 0 0
    /* oh  */ {0, 1, 2, 2, 0, 1, 1, -1},     // + 0 3 3 + 0 0
    /* on  */ {0, 1, 3, 2, 0, 1, 1, -1},     // + 0 2 3 + 0 0
    /* p   */ {4, 4, 1, 1, 1, 5, 6, -1},     // - - 0 0 0 p l
    /* pau */ {1, 1, 1, 1, 1, 1, 1, -1},     // 0 0 0 0 0 0 0
    /* r   */ {4, 0, 1, 1, 1, 15, 7, -1},    // - + 0 0 0 r a
    /* s   */ {4, 4, 1, 1, 1, 10, 7, -1},    // - - 0 0 0 f a
    /* sh  */ {4, 4, 1, 1, 1, 10, 5, -1},    // - - 0 0 0 f p
    /* t   */ {4, 4, 1, 1, 1, 5, 8, -1},     // - - 0 0 0 p d
    /* u   */ {0, 1, 9, 2, 0, 1, 1, -1},     // + 0 1 3 + 0 0
    /* un  */ {0, 1, 9, 2, 4, 1, 1, -1},     // + 0 1 3 - 0 0  (unrounded, unlike u)
    /* v   */ {4, 0, 1, 1, 1, 10, 11, -1},   // - + 0 0 0 f b
    /* w   */ {4, 0, 1, 1, 1, 13, 12, -1},   // - + 0 0 0 g v
    /* z   */ {4, 0, 1, 1, 1, 10, 7, -1},    // - + 0 0 0 f a
    /* zh  */ {4, 0, 1, 1, 1, 10, 5, -1},    // - + 0 0 0 f p
};

constexpr const int32_t* kRows[kNumPhones] = {
    kMatrix[0],  kMatrix[1],  kMatrix[2],  kMatrix[3],  kMatrix[4],  kMatrix[5],  kMatrix[6],  kMatrix[7],
    kMatrix[8],  kMatrix[9],  kMatrix[10], kMatrix[11], kMatrix[12], kMatrix[13], kMatrix[14], kMatrix[15],
    kMatrix[16], kMatrix[17], kMatrix[18], kMatrix[19], kMatrix[20], kMatrix[21], kMatrix[22], kMatrix[23],
    kMatrix[24], kMatrix[25], kMatrix[26], kMatrix[27], kMatrix[28], kMatrix[29], kMatrix[30], kMatrix[31],
    kMatrix[32], kMatrix[33], kMatrix[34], kMatrix[35],
};

constexpr bool names_ascend() {
  for (int32_t i = 1; i < kNumPhones; ++i) {
    const char* a = kPhoneNames[i - 1];
    const char* b = kPhoneNames[i];
    while (*a && *a == *b) ++a, ++b;
    if (static_cast<unsigned char>(*a) >= static_cast<unsigned char>(*b)) return false;
  }
  return true;
}
static_assert(kNumPhones == 36);
static_assert(names_ascend(), "bisection needs the phone names in ascending byte order");

}  // namespace

constinit const Phoneset phoneset_pt_br = {
    "x-kelto-pt_br", kFeatureNames, kFeatureValues, kPhoneNames, "pau", kNumPhones, kRows, 1,
};

namespace {
constinit const Value kPhonesetValue = [] {
  Value v{};
  v.head.atom = {kTypePhoneset, kPermanentRefcount};
  v.body.p = const_cast<Phoneset*>(&phoneset_pt_br);
  return v;
}();
}  // namespace

Value* phoneset_pt_br_value() { return const_cast<Value*>(&kPhonesetValue); }

Value* ph_vcar(Item* segment) {
  return phone_feature(item_phoneset(segment), item_feature_string(segment, "name"), "vcar");
}
