// Portuguese titles and abbreviations written before a period: the words the
// voice reads them as, and whether a period after them leaves the sentence
// going on.  The voice's token reader and the host's sentence splitter both
// read this one list.
#pragma once

struct PtBrAbbreviation {
  const char* written;  // as written, without its period
  const char* reading;  // the words read for it, or null when it is spelled
  bool keeps_sentence;  // a period after it does not end the sentence
};

inline constexpr PtBrAbbreviation kPtBrAbbreviations[] = {
    {"Etc", "etc\xe9tera", false},  {"etc", "etc\xe9tera", false},  // etcétera
    {"Sr", "senhor", true},         {"sr", "senhor", false},
    {"Sra", "senhora", true},       {"sra", "senhora", false},
    {"Sras", "senhoras", false},    {"sras", "senhoras", false},
    {"Srs", "senhores", false},     {"srs", "senhores", false},
    {"Srta", "senhorita", true},    {"srta", "senhorita", false},
    {"Dr", nullptr, true},          {"Dra", nullptr, true},
    {"Prof", nullptr, true},        {"Profa", nullptr, true},
    {"Av", nullptr, true},          {"Exmo", nullptr, true},
    {"Exma", nullptr, true},        {"Sto", nullptr, true},
    {"Sta", nullptr, true},         {"St", nullptr, true},
};
