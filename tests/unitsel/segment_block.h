// Test helper: SegmentTarget blocks whose strings live in the block itself,
// so that two blocks never share a string pointer and every comparison in
// the costs is made on the text.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "core/contract.h"
#include "tests/support/phone_class.h"

class SegmentBlock {
 public:
  // A consonant "t" between vowels, every count and level 0, content words.
  SegmentBlock() {
    rec.measure = 0.08f;
    set_name("t");
  }
  SegmentBlock(const SegmentBlock& o) : rec(o.rec) {
    std::memcpy(text_, o.text_, sizeof text_);
    rebind();
  }
  SegmentBlock& operator=(const SegmentBlock& o) {
    rec = o.rec;
    std::memcpy(text_, o.text_, sizeof text_);
    rebind();
    return *this;
  }

  // Sets the phone name and its phone class strings.
  SegmentBlock& set_name(const std::string& name) {
    PhoneClass c = phone_class(name.c_str());
    set(kName, name);
    set(kVc, c.vc);
    set(kCvox, c.cvox);
    return set(kCtype, c.ctype);
  }
  SegmentBlock& pp_name(const std::string& s) { return set(kPp, s); }
  SegmentBlock& p_name(const std::string& s) { return set(kP, s); }
  SegmentBlock& n_name(const std::string& s) { return set(kN, s); }
  SegmentBlock& nn_name(const std::string& s) { return set(kNn, s); }
  SegmentBlock& label(const std::string& s) { return set(kLabel, s); }
  SegmentBlock& gpos_p(const std::string& s) { return set(kGposP, s); }
  SegmentBlock& gpos(const std::string& s) { return set(kGpos, s); }
  SegmentBlock& gpos_n(const std::string& s) { return set(kGposN, s); }
  SegmentBlock& tone(const std::string& s) { return set(kTone, s); }
  SegmentBlock& ph_vc(const std::string& s) { return set(kVc, s); }
  SegmentBlock& ph_cvox(const std::string& s) { return set(kCvox, s); }
  SegmentBlock& ph_ctype(const std::string& s) { return set(kCtype, s); }

  const SegmentTarget* operator->() const { return &rec; }
  SegmentTarget* operator->() { return &rec; }
  const SegmentTarget* get() const { return &rec; }

  SegmentTarget rec{};

 private:
  enum Slot { kPp, kP, kName, kN, kNn, kLabel, kGposP, kGpos, kGposN, kTone, kVc, kCvox, kCtype, kSlots };

  SegmentBlock& set(Slot slot, const std::string& s) {
    size_t n = std::min(s.size(), static_cast<size_t>(kTextMax - 1));
    std::memcpy(text_[slot], s.data(), n);
    text_[slot][n] = '\0';
    rebind();
    return *this;
  }
  void rebind() {
    rec.pp_name = text_[kPp];
    rec.p_name = text_[kP];
    rec.name = text_[kName];
    rec.n_name = text_[kN];
    rec.nn_name = text_[kNn];
    rec.label = text_[kLabel];
    rec.gpos_p = text_[kGposP];
    rec.gpos = text_[kGpos];
    rec.gpos_n = text_[kGposN];
    rec.tone = text_[kTone];
    rec.ph_vc = text_[kVc];
    rec.ph_cvox = text_[kCvox];
    rec.ph_ctype = text_[kCtype];
  }

  static constexpr int kTextMax = 16;
  char text_[kSlots][kTextMax] = {"e", "a", "t", "e", "s", "x", "content", "content", "content", "NONE", "-", "-", "p"};
};
