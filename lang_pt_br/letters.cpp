// Spelling of texts and words by the names of their characters.
#include "lang_pt_br/letters.h"

#include <cstring>

#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/tokenstream.h"

namespace {

// Letters that word spelling reads as their plain vowel or consonant.
struct LetterClass {
  const char* bytes;
  const char* name;
};
const LetterClass kLetterClasses[] = {
    {"\xe1\xc1\xe0\xc0\xe2\xc2", "\xe1"},  // áÁàÀâÂ: "á"
    {"\xe7\xc7", "c\xea"},                 // çÇ: "cê"
    {"\xe9\xc9\xea\xca", "\xe9"},          // éÉêÊ: "é"
    {"\xed\xcd", "i"},                     // íÍ: "i"
    {"\xf3\xd3\xf4\xd4", "\xf3"},          // óÓôÔ: "ó"
    {"\xfa\xda\xfc\xdc", "u"},             // úÚüÜ: "u"
    {"\xe3\xc3", "\xe3"},                  // ãÃ: "ã"
};

const char* word_letter_name(unsigned char b) {
  for (const LetterClass& c : kLetterClasses)
    if (b != 0 && std::strchr(c.bytes, b) != nullptr) return c.name;
  return character_names[b];
}

// Appends `list` to the list whose last cell is *tail.
void append(Value** head, Value** tail, Value* list) {
  if (list == nullptr) return;
  if (*head == nullptr)
    *head = list;
  else
    value_set_cdr(*tail, list);
  *tail = value_last_cell(list);
}

}  // namespace

Value* spell_characters(const char* text) {
  Value* head = nullptr;
  Value* tail = nullptr;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    const char* name = character_names[*p];
    if (name[0] != '\0') append(&head, &tail, split_words(name));
  }
  return head;
}

Value* spell_word_letters(const char* word) {
  size_t length = std::strlen(word);
  // A final "'s" (after at least one letter) is not spelled but kept.
  bool ends_in_s = length >= 3 && std::strcmp(word + length - 2, "'s") == 0;
  size_t end = ends_in_s ? length - 2 : length;

  size_t names = 0;
  size_t joined_length = 0;
  bool has_space = false;
  for (size_t i = 0; i < end; ++i) {
    if (word[i] == '.') continue;
    const char* name = word_letter_name(static_cast<unsigned char>(word[i]));
    if (name[0] == '\0') continue;
    ++names;
    joined_length += std::strlen(name) + 1;
    if (std::strchr(name, ' ') != nullptr) has_space = true;
  }

  Value* head = nullptr;
  Value* tail = nullptr;
  if (has_space || names == 0) {
    for (size_t i = 0; i < end; ++i) {
      if (word[i] == '.') continue;
      const char* name = word_letter_name(static_cast<unsigned char>(word[i]));
      if (name[0] != '\0') append(&head, &tail, split_words(name));
    }
  } else {
    // One element: the names joined by "-" ("á-bê-cê").
    auto* joined = static_cast<char*>(heap_alloc(static_cast<int32_t>(joined_length + 1)));
    size_t n = 0;
    for (size_t i = 0; i < end; ++i) {
      if (word[i] == '.') continue;
      const char* name = word_letter_name(static_cast<unsigned char>(word[i]));
      if (name[0] == '\0') continue;
      if (n > 0) joined[n++] = '-';
      size_t len = std::strlen(name);
      std::memcpy(joined + n, name, len);
      n += len;
    }
    joined[n] = '\0';
    head = tail = value_cons(value_new_string(joined), nullptr);
    heap_free(joined);
  }
  if (ends_in_s && tail != nullptr) value_string_append(value_car(tail), "'s");
  return head;
}
