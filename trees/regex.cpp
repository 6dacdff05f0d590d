// Backtracking matcher for compiled regex programs.
#include "trees/regex.h"

#include <cstring>

#include "core/platform.h"

namespace {

// Deepest nesting of the recursive matcher.  A frame takes about 100 bytes,
// so the deepest search stays near 400 KB, well inside a 1 MB thread stack.
// Each repetition of a group costs three levels, so a group may repeat more
// than a thousand times; a text that would need more fails to match instead
// of exhausting the stack.
constexpr int32_t kMaxDepth = 4000;

[[noreturn]] void regex_failure(const char* reason) {
  error_print("regexp failure: %s\n", reason);
  fatal_exit();
}

bool is_word_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// A program with its bounds; every node and operand access is checked so
// that a damaged program cannot make the matcher read outside it.
struct Program {
  const uint8_t* code;
  int32_t size;

  void check_node(int node) const {
    if (node < 1 || node + 3 > size) regex_failure("corrupted pointers");
  }
  // Nodes are checked where they are reached (the start node and every
  // next link), so reading a node's opcode and link needs no further check.
  uint8_t op(int node) const { return code[node]; }
  // The node after `node`, or -1 when its offset is 0.
  int next(int node) const {
    int offset = (code[node + 1] << 8) | code[node + 2];
    if (offset == 0) return -1;
    int n = code[node] == kRegexBack ? node - offset : node + offset;
    check_node(n);
    return n;
  }
  // Operand text of the node: its length up to the NUL (bounded by the program).
  int32_t operand_length(int node) const {
    int32_t start = node + 3;
    if (start >= size) return 0;
    return static_cast<int32_t>(strnlen(reinterpret_cast<const char*>(code + start), static_cast<size_t>(size - start)));
  }
  // Whether the operand text of `node`, `length` bytes long, holds `c`;
  // long sets (the letter classes) are searched with memchr.
  bool operand_holds(int node, int32_t length, char c) const {
    const uint8_t* text = code + node + 3;
    uint8_t b = static_cast<uint8_t>(c);
    if (length > 16) return std::memchr(text, b, static_cast<size_t>(length)) != nullptr;
    for (int32_t i = 0; i < length; ++i)
      if (text[i] == b) return true;
    return false;
  }
  // The same for a single test: a plain scan up to the NUL (or the program's end).
  bool operand_holds(int node, char c) const {
    uint8_t b = static_cast<uint8_t>(c);
    for (int32_t i = node + 3; i < size && code[i] != 0; ++i)
      if (code[i] == b) return true;
    return false;
  }
};

// Number of characters from the cursor that the single-character node
// `node` matches in a row.
int32_t count_repeats(const Program& prog, const RegexMatch* m, int node) {
  prog.check_node(node);
  const char* s = m->cursor;
  int32_t count = 0;
  switch (prog.op(node)) {
    case kRegexAny:
      count = static_cast<int32_t>(std::strlen(s));
      break;
    case kRegexExactly: {
      char c = node + 3 < prog.size ? static_cast<char>(prog.code[node + 3]) : '\0';
      while (c != '\0' && s[count] == c) ++count;
      break;
    }
    case kRegexAnyOf: {
      int32_t length = prog.operand_length(node);
      while (s[count] != '\0' && prog.operand_holds(node, length, s[count])) ++count;
      break;
    }
    case kRegexAnyBut: {
      int32_t length = prog.operand_length(node);
      while (s[count] != '\0' && !prog.operand_holds(node, length, s[count])) ++count;
      break;
    }
    default:
      regex_failure("internal foulup");
  }
  return count;
}

struct DepthGuard {
  RegexMatch* m;
  explicit DepthGuard(RegexMatch* match) : m(match) { ++m->depth; }
  ~DepthGuard() { --m->depth; }
};

bool match_from(const Program& prog, RegexMatch* m, int node) {
  DepthGuard guard(m);
  if (m->depth > kMaxDepth) return false;
  int scan = node;
  if (scan >= 0) prog.check_node(scan);
  while (scan >= 0) {
    uint8_t op = prog.op(scan);
    int next = prog.next(scan);
    const char* q = m->cursor;
    switch (op) {
      case kRegexBol:
        if (q != m->text_start) return false;
        break;
      case kRegexEol:
        if (*q != '\0') return false;
        break;
      case kRegexAny:
        if (*q == '\0') return false;
        ++m->cursor;
        break;
      case kRegexAnyOf:
        if (*q == '\0' || !prog.operand_holds(scan, *q)) return false;
        ++m->cursor;
        break;
      case kRegexAnyBut:
        if (*q == '\0' || prog.operand_holds(scan, *q)) return false;
        ++m->cursor;
        break;
      case kRegexExactly: {
        int32_t len = prog.operand_length(scan);
        const char* text = reinterpret_cast<const char*>(prog.code + scan + 3);
        if (len == 0) break;
        if (text[0] != *q) return false;
        if (len > 1 && std::strncmp(text, q, static_cast<size_t>(len)) != 0) return false;
        m->cursor += len;
        break;
      }
      case kRegexNothing:
      case kRegexBack:
        break;
      case kRegexWordA:
        if (!is_word_char(*q)) return false;
        if (q > m->text_start && is_word_char(q[-1])) return false;
        break;
      case kRegexWordZ:
        if (is_word_char(*q)) return false;
        break;
      case kRegexBranch:
        if (next < 0 || prog.op(next) != kRegexBranch) {
          next = scan + 3;  // a single alternative: go straight on into it
          prog.check_node(next);
        } else {
          do {
            m->cursor = q;
            if (match_from(prog, m, scan + 3)) return true;
            scan = prog.next(scan);
          } while (scan >= 0 && prog.op(scan) == kRegexBranch);
          m->cursor = q;
          return false;
        }
        break;
      case kRegexStar:
      case kRegexPlus: {
        if (next < 0) regex_failure("corrupted pointers");
        char required = '\0';
        if (prog.op(next) == kRegexExactly && next + 3 < prog.size)
          required = static_cast<char>(prog.code[next + 3]);
        int32_t minimum = op == kRegexStar ? 0 : 1;
        int32_t count = count_repeats(prog, m, scan + 3);
        while (count >= minimum) {
          if (required == '\0' || q[count] == required) {
            m->cursor = q + count;
            if (match_from(prog, m, next)) return true;
          }
          --count;
        }
        m->cursor = q;
        return false;
      }
      case kRegexEnd:
        return true;
      default:
        // Group marks never fail; without group positions to record they
        // are passed over like NOTHING instead of descending.
        if (op > kRegexOpen && op <= kRegexClose + 9 && op != kRegexClose && !m->record_groups) break;
        if (op > kRegexOpen && op <= kRegexOpen + 9) {
          int group = op - kRegexOpen;
          if (!match_from(prog, m, next)) return false;
          if (m->start[group] == nullptr) m->start[group] = q;
          return true;
        }
        if (op > kRegexClose && op <= kRegexClose + 9) {
          int group = op - kRegexClose;
          if (!match_from(prog, m, next)) return false;
          if (m->end[group] == nullptr) m->end[group] = q;
          return true;
        }
        regex_failure("memory corruption");
    }
    scan = next;
  }
  regex_failure("corrupted pointers");
}

bool try_at(const Program& prog, RegexMatch* m, const char* at) {
  for (int i = 0; i < kRegexMaxGroups; ++i) m->start[i] = m->end[i] = nullptr;
  m->cursor = at;
  m->depth = 0;
  if (!match_from(prog, m, 1)) return false;
  m->start[0] = at;
  m->end[0] = m->cursor;
  return true;
}

// The search itself, into a record the caller provides.
bool regex_search(const Regex* regex, const char* text, RegexMatch* m) {
  if (regex->must != nullptr) {
    const char* found = nullptr;
    for (const char* s = std::strchr(text, regex->must[0]); s != nullptr && *s != '\0';
         s = std::strchr(s + 1, regex->must[0])) {
      if (std::strncmp(s, regex->must, static_cast<size_t>(regex->must_length)) == 0) {
        found = s;
        break;
      }
    }
    if (found == nullptr) return false;
  }
  Program prog{regex->program, regex->program_size};
  m->text_start = text;
  if (regex->anchored) return try_at(prog, m, text);
  if (regex->first_char != 0) {
    for (const char* s = std::strchr(text, regex->first_char); s != nullptr;
         s = std::strchr(s + 1, regex->first_char))
      if (try_at(prog, m, s)) return true;
    return false;
  }
  const char* s = text;
  for (;;) {
    if (try_at(prog, m, s)) return true;
    if (*s == '\0') return false;
    ++s;
  }
}

void check_arguments(const Regex* regex, const char* text) {
  if (regex == nullptr || text == nullptr) regex_failure("NULL parameter");
  if (regex->program == nullptr || regex->program_size < 1 || regex->program[0] != kRegexCheckByte)
    regex_failure("corrupted program");
}

}  // namespace

RegexMatch* regex_find(const Regex* regex, const char* text) {
  check_arguments(regex, text);
  RegexMatch found{};
  found.record_groups = true;
  if (!regex_search(regex, text, &found)) return nullptr;
  auto* m = static_cast<RegexMatch*>(heap_alloc(sizeof(RegexMatch)));
  *m = found;
  m->depth = 0;
  return m;
}

bool regex_matches(const Regex* regex, const char* text) {
  if (regex == nullptr) return false;
  check_arguments(regex, text);
  // The record lives on the stack: asking whether a text matches allocates
  // nothing.
  RegexMatch found{};
  return regex_search(regex, text, &found);
}
