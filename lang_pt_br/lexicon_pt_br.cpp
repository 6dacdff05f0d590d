// The voice's lexicon object "vox_pt_br_selvana".  The module's own
// pronunciation goes through the letter-to-sound rules; this table is handed
// to the host engine as the voice feature vox_lexicon.
#include "lang_pt_br/lts.h"

namespace {

constexpr const char* kDebaixo[] = {"0debaixo", "d", "e", "-", "b", "a1", "j", "-", "sh", "u", nullptr};
constexpr const char* kRapaz[] = {"0rapaz", "h", "a", "-", "p", "a1", "j", "s", nullptr};
constexpr const char* kSufi[] = {"0sufi", "s", "u", "-", "f", "i1", nullptr};
// inexoráveis
constexpr const char* kInexoraveis[] = {"0inexor\xe1veis", "i", "-", "n", "e", "-", "z", "o", "-", "r", "a1", "-",
                                        "v", "e", "j", "s", nullptr};
// inextricável
constexpr const char* kInextricavel[] = {"0inextric\xe1vel", "i", "-", "n", "e", "s", "-", "t", "r", "i", "-", "k",
                                         "a1", "-", "v", "e", "w", nullptr};
// possuía
constexpr const char* kPossuia[] = {"0possu\xed" "a", "p", "o", "-", "s", "u", "-", "i1", "-", "a", nullptr};
constexpr const char* kEx[] = {"0ex", "eh1", "j", "s", nullptr};
constexpr const char* kHaicai[] = {"0haicai", "a", "j", "-", "k", "a1", "j", nullptr};
constexpr const char* kCineangio[] = {"0cineangiocoronariografia", "s", "i", "-", "n", "e", "-", "an", "-", "zh",
                                      "j", "o", "-", "k", "o", "-", "r", "o", "-", "n", "a", "-", "r", "j", "o",
                                      "-", "g", "r", "a", "-", "f", "i1", "-", "a", nullptr};
constexpr const char* kService[] = {"0service", "s", "e1", "r", "-", "v", "i", "-", "s", "i", nullptr};
// à
constexpr const char* kCrasis[] = {"0\xe0", "a1", "-", "a", nullptr};
// chinês
constexpr const char* kChines[] = {"0chin\xeas", "sh", "i", "-", "n", "e1", "j", "s", nullptr};
constexpr const char* kDez[] = {"0dez", "d", "e1", "j", "s", nullptr};
constexpr const char* kMas[] = {"0mas", "m", "a1", "j", "s", nullptr};
constexpr const char* kSeps[] = {"0seps", "s", "eh1", "-", "p", "i", "s", nullptr};
// Proper names.
constexpr const char* kBrasil[] = {"0brasil", "b", "r", "a", "-", "z", "i1", "w", nullptr};
constexpr const char* kLula[] = {"0lula", "l", "u1", "-", "l", "a", nullptr};
constexpr const char* kXuxa[] = {"0xuxa", "sh", "u1", "-", "sh", "a", nullptr};
// pelé
constexpr const char* kPele[] = {"0pel\xe9", "p", "e", "-", "l", "eh1", nullptr};
constexpr const char* kNeymar[] = {"0neymar", "n", "e", "j", "-", "m", "a1", "r", nullptr};
constexpr const char* kAnitta[] = {"0anitta", "a", "-", "n", "i1", "-", "t", "a", nullptr};
constexpr const char* kAyrton[] = {"0ayrton", "a1", "j", "-", "r", "i", "-", "t", "on", nullptr};

constexpr WordEntry kEntries[] = {
    kDebaixo, kRapaz, kSufi,   kInexoraveis, kInextricavel, kPossuia, kEx,     kHaicai,
    kCineangio, kService, kCrasis, kChines, kDez, kMas, kSeps, kBrasil, kLula, kXuxa, kPele,
    kNeymar, kAnitta, kAyrton, nullptr,
};

}  // namespace

const Lexicon vox_pt_br_selvana_lexicon = {"vox_pt_br_selvana", kEntries};
