// Compile-time compiler from pattern source text to regex programs.
//
// Source syntax (one byte per character, ISO-8859-15): `^` matches at the
// beginning of the text and `$` at its end; `.` is any character; `[...]` is
// one character of a set (`a-z` ranges, `[^...]` the complement, a `-` or `]`
// first and a `-` last are literal); `*`, `+` and `?` repeat the preceding
// atom greedily; `(...)` groups (at most nine groups); `|` separates
// alternatives; a backslash makes the next character literal.
//
// The compiler only runs inside constant expressions, so every program ends
// up as read-only data:
//
//     constexpr const Regex& r = regex_constant<"^[0-9]+$">;
//
// A pattern that does not compile fails the build at the call of
// regex_syntax_error, whose argument names the problem.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "trees/regex.h"

// Never defined: reaching it in a constant expression is a compile error.
void regex_syntax_error(const char* reason);

constexpr int kRegexCompileRoom = 2048;

struct RegexCompiled {
  uint8_t code[kRegexCompileRoom];
  int32_t size;
  int32_t groups;
  uint8_t first_char;
  uint8_t anchored;
};

namespace regex_detail {

constexpr int kHasWidth = 1;  // the piece matches at least one character
constexpr int kSimple = 2;    // the piece is one character wide: fit for STAR and PLUS

constexpr bool is_repeat(char c) { return c == '*' || c == '+' || c == '?'; }
constexpr bool is_meta(char c) {
  for (const char* m = "^$.[()|?+*\\"; *m; ++m)
    if (*m == c) return true;
  return false;
}

class Builder {
 public:
  constexpr explicit Builder(const char* source) : p_(source) {}

  constexpr RegexCompiled run() {
    emit_byte(kRegexCheckByte);
    int flags = 0;
    parse_group(false, &flags);
    // One top-level alternative: its first node tells how a match starts.
    int first_branch = 1;
    int after = next_of(first_branch);
    if (after >= 0 && out_.code[after] == kRegexEnd) {
      int first = first_branch + 3;
      if (out_.code[first] == kRegexExactly)
        out_.first_char = out_.code[first + 3];
      else if (out_.code[first] == kRegexBol)
        out_.anchored = 1;
    }
    out_.groups = groups_;
    return out_;
  }

 private:
  const char* p_;
  RegexCompiled out_{};
  int groups_ = 0;

  static constexpr uint8_t byte(char c) { return static_cast<uint8_t>(c); }

  constexpr void room(int n) {
    if (out_.size + n > kRegexCompileRoom) regex_syntax_error("pattern too big");
  }
  constexpr void emit_byte(uint8_t b) {
    room(1);
    out_.code[out_.size++] = b;
  }
  constexpr int emit_node(uint8_t op) {
    room(3);
    int at = out_.size;
    out_.code[at] = op;
    out_.code[at + 1] = 0;
    out_.code[at + 2] = 0;
    out_.size += 3;
    return at;
  }
  // Moves everything from `at` on three bytes up and puts a node header at
  // `at`.  Offsets are relative, so the moved nodes stay linked.
  constexpr void insert_node(uint8_t op, int at) {
    room(3);
    for (int i = out_.size - 1; i >= at; --i) out_.code[i + 3] = out_.code[i];
    out_.code[at] = op;
    out_.code[at + 1] = 0;
    out_.code[at + 2] = 0;
    out_.size += 3;
  }
  constexpr int next_of(int node) const {
    int offset = (out_.code[node + 1] << 8) | out_.code[node + 2];
    if (offset == 0) return -1;
    return out_.code[node] == kRegexBack ? node - offset : node + offset;
  }
  // Links the last node of the chain that starts at `node` to `target`.
  constexpr void set_tail(int node, int target) {
    int scan = node;
    for (int n = next_of(scan); n >= 0; n = next_of(scan)) scan = n;
    int offset = out_.code[scan] == kRegexBack ? scan - target : target - scan;
    if (offset <= 0 || offset > 0xFFFF) regex_syntax_error("bad link");
    out_.code[scan + 1] = static_cast<uint8_t>(offset >> 8);
    out_.code[scan + 2] = static_cast<uint8_t>(offset & 0xFF);
  }
  // set_tail on the alternative of a BRANCH node; nothing for other nodes.
  constexpr void set_operand_tail(int node, int target) {
    if (node >= 0 && out_.code[node] == kRegexBranch) set_tail(node + 3, target);
  }

  // Alternatives, inside parentheses or at the top level.
  constexpr int parse_group(bool paren, int* flags) {
    *flags = kHasWidth;
    int ret = -1;
    int group = 0;
    if (paren) {
      if (groups_ >= 9) regex_syntax_error("too many ()");
      group = ++groups_;
      ret = emit_node(static_cast<uint8_t>(kRegexOpen + group));
    }
    int branch_flags = 0;
    int br = parse_branch(&branch_flags);
    if (ret >= 0)
      set_tail(ret, br);
    else
      ret = br;
    if (!(branch_flags & kHasWidth)) *flags &= ~kHasWidth;
    while (*p_ == '|') {
      ++p_;
      br = parse_branch(&branch_flags);
      set_tail(ret, br);
      if (!(branch_flags & kHasWidth)) *flags &= ~kHasWidth;
    }
    int ender = emit_node(paren ? static_cast<uint8_t>(kRegexClose + group) : static_cast<uint8_t>(kRegexEnd));
    set_tail(ret, ender);
    for (int b = ret; b >= 0; b = next_of(b)) set_operand_tail(b, ender);
    if (paren) {
      if (*p_ != ')') regex_syntax_error("unmatched ()");
      ++p_;
    } else if (*p_ != '\0') {
      regex_syntax_error(*p_ == ')' ? "unmatched ()" : "junk on end");
    }
    return ret;
  }

  // One alternative: a BRANCH node whose operand is the chain of its pieces.
  constexpr int parse_branch(int* flags) {
    *flags = 0;
    int ret = emit_node(kRegexBranch);
    int chain = -1;
    while (*p_ != '\0' && *p_ != '|' && *p_ != ')') {
      int piece_flags = 0;
      int latest = parse_piece(&piece_flags);
      *flags |= piece_flags & kHasWidth;
      if (chain >= 0) set_tail(chain, latest);
      chain = latest;
    }
    if (chain < 0) emit_node(kRegexNothing);
    return ret;
  }

  // An atom with an optional repetition.
  constexpr int parse_piece(int* flags) {
    int atom_flags = 0;
    int ret = parse_atom(&atom_flags);
    char op = *p_;
    if (!is_repeat(op)) {
      *flags = atom_flags;
      return ret;
    }
    if (!(atom_flags & kHasWidth) && op != '?') regex_syntax_error("*+ operand could be empty");
    *flags = op == '+' ? kHasWidth : 0;
    if (op == '*' && (atom_flags & kSimple)) {
      insert_node(kRegexStar, ret);
    } else if (op == '*') {
      // x* as (x&|): a BRANCH around x looping back to itself, or NOTHING.
      insert_node(kRegexBranch, ret);
      set_operand_tail(ret, emit_node(kRegexBack));
      set_operand_tail(ret, ret);
      set_tail(ret, emit_node(kRegexBranch));
      set_tail(ret, emit_node(kRegexNothing));
    } else if (op == '+' && (atom_flags & kSimple)) {
      insert_node(kRegexPlus, ret);
    } else if (op == '+') {
      // x+ as x(&|): after x, either back to x or NOTHING.
      int next = emit_node(kRegexBranch);
      set_tail(ret, next);
      set_tail(emit_node(kRegexBack), ret);
      set_tail(next, emit_node(kRegexBranch));
      set_tail(ret, emit_node(kRegexNothing));
    } else {
      // x? as (x|).
      insert_node(kRegexBranch, ret);
      set_tail(ret, emit_node(kRegexBranch));
      int next = emit_node(kRegexNothing);
      set_tail(ret, next);
      set_operand_tail(ret, next);
    }
    ++p_;
    if (is_repeat(*p_)) regex_syntax_error("nested *?+");
    return ret;
  }

  constexpr int parse_atom(int* flags) {
    *flags = 0;
    char c = *p_++;
    int ret = -1;
    switch (c) {
      case '^':
        ret = emit_node(kRegexBol);
        break;
      case '$':
        ret = emit_node(kRegexEol);
        break;
      case '.':
        ret = emit_node(kRegexAny);
        *flags |= kHasWidth | kSimple;
        break;
      case '[': {
        bool but = *p_ == '^';
        if (but) ++p_;
        ret = emit_node(but ? kRegexAnyBut : kRegexAnyOf);
        if (*p_ == ']' || *p_ == '-') emit_byte(byte(*p_++));
        while (*p_ != '\0' && *p_ != ']') {
          if (*p_ == '-') {
            ++p_;
            if (*p_ == ']' || *p_ == '\0') {
              emit_byte('-');
            } else {
              int lo = byte(p_[-2]) + 1;
              int hi = byte(*p_);
              if (lo > hi + 1) regex_syntax_error("invalid [] range");
              for (; lo <= hi; ++lo) emit_byte(static_cast<uint8_t>(lo));
              ++p_;
            }
          } else {
            emit_byte(byte(*p_++));
          }
        }
        emit_byte(0);
        if (*p_ != ']') regex_syntax_error("unmatched []");
        ++p_;
        *flags |= kHasWidth | kSimple;
        break;
      }
      case '(': {
        int group_flags = 0;
        ret = parse_group(true, &group_flags);
        *flags |= group_flags & kHasWidth;
        break;
      }
      case '\0':
      case '|':
      case ')':
        regex_syntax_error("internal urp");
        break;
      case '?':
      case '+':
      case '*':
        regex_syntax_error("?+* follows nothing");
        break;
      case '\\':
        if (*p_ == '\0') regex_syntax_error("trailing \\");
        ret = emit_node(kRegexExactly);
        emit_byte(byte(*p_++));
        emit_byte(0);
        *flags |= kHasWidth | kSimple;
        break;
      default: {
        --p_;
        int len = 0;
        while (p_[len] != '\0' && !is_meta(p_[len])) ++len;
        // A repetition applies to the last character only.
        if (len > 1 && is_repeat(p_[len])) --len;
        *flags |= kHasWidth;
        if (len == 1) *flags |= kSimple;
        ret = emit_node(kRegexExactly);
        for (; len > 0; --len) emit_byte(byte(*p_++));
        emit_byte(0);
        break;
      }
    }
    return ret;
  }
};

}  // namespace regex_detail

constexpr RegexCompiled regex_compile(const char* source) {
  return regex_detail::Builder(source).run();
}

// Pattern source as a template argument.
template <size_t N>
struct RegexSource {
  char text[N];
  constexpr RegexSource(const char (&source)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = source[i];
  }
};

template <RegexSource S>
inline constexpr auto regex_program = [] {
  constexpr RegexCompiled compiled = regex_compile(S.text);
  std::array<uint8_t, static_cast<size_t>(compiled.size)> program{};
  for (int i = 0; i < compiled.size; ++i) program[static_cast<size_t>(i)] = compiled.code[i];
  return program;
}();

template <RegexSource S>
inline constexpr Regex regex_constant = [] {
  constexpr RegexCompiled compiled = regex_compile(S.text);
  Regex r{};
  r.first_char = compiled.first_char;
  r.anchored = compiled.anchored;
  r.must = nullptr;
  r.must_length = 0;
  r.program_size = compiled.size;
  r.program = regex_program<S>.data();
  return r;
}();

// Defines a stored pattern: its source text (name##_source, for the tables
// of tests and tools) and its Regex compiled while the file is compiled.
#define STORED_PATTERN(name, source)                  \
  namespace {                                          \
  constexpr char name##_source[] = source;             \
  }                                                    \
  const Regex name = regex_constant<source>;           \
  static_assert(regex_constant<source>.anchored == 1 && \
                regex_constant<source>.first_char == 0, #name " must be anchored")

