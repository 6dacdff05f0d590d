#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "core/platform.h"
#include "core/value.h"

namespace {

std::string temp_path(const char* tag) {
  return std::string(testing::TempDir()) + "selvana_" + tag + "_" + std::to_string(getpid());
}

TEST(Heap, AllocationsAreZeroFilledAndResizable) {
  auto* b = static_cast<unsigned char*>(heap_alloc(0));
  ASSERT_NE(b, nullptr);
  b[0] = 7;  // a usable 1-byte block
  b = static_cast<unsigned char*>(heap_realloc(b, 64));
  EXPECT_EQ(b[0], 7);
  for (int i = 1; i < 64; ++i) ASSERT_EQ(b[i], 0) << i;
  memset(b, 0xff, 64);
  b = static_cast<unsigned char*>(heap_realloc(b, 200));
  for (int i = 64; i < 200; ++i) ASSERT_EQ(b[i], 0) << i;
  heap_free(b);
  heap_free(nullptr);
  auto* r = static_cast<unsigned char*>(heap_realloc(nullptr, 16));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r[i], 0);
  heap_free(r);
}

TEST(HeapDeathTest, NegativeSizeEndsTheProcess) {
  EXPECT_EXIT(heap_alloc(-1), testing::ExitedWithCode(255), "^$");
  EXPECT_EXIT(heap_realloc(nullptr, -5), testing::ExitedWithCode(255), "^$");
}

TEST(PrivateHeap, BlocksAreZeroedRecycledAndDestroyedWhole) {
  PrivateHeap* heap = private_heap_create();
  std::vector<unsigned char*> blocks;
  for (int size : {1, 15, 16, 17, 100, 512, 513, 5000, 100000}) {
    auto* b = static_cast<unsigned char*>(local_alloc(heap, size));
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < size; ++i) ASSERT_EQ(b[i], 0);
    memset(b, 0xab, size);
    blocks.push_back(b);
  }
  for (auto* b : blocks) EXPECT_TRUE(local_free(heap, b));
  // Recycled blocks come back zero-filled.
  for (int k = 0; k < 3; ++k) {
    auto* b = static_cast<unsigned char*>(local_alloc(heap, 100));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(b[i], 0);
    memset(b, 0xcd, 100);
    local_free(heap, b);
  }
  // Many blocks left allocated go away with the heap.
  for (int i = 0; i < 10000; ++i) local_alloc(heap, 1 + i % 700);
  private_heap_destroy(heap);
}

TEST(PrivateHeap, NullHeapMeansProcessHeap) {
  void* b = local_alloc(nullptr, 32);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(local_free(nullptr, b));
}

TEST(Heap, AllocationCounterCountsEveryAllocation) {
  uint64_t before = heap_alloc_count();
  void* a = heap_alloc(8);
  PrivateHeap* h = private_heap_create();
  void* b = local_alloc(h, 8);
  EXPECT_EQ(heap_alloc_count() - before, 3u);
  heap_free(a);
  local_free(h, b);
  private_heap_destroy(h);
}

TEST(Files, ModeTable) {
  std::string p = temp_path("modes");
  unlink(p.c_str());
  EXPECT_EQ(file_open(p.c_str(), 0), nullptr);                     // no bits: fails
  EXPECT_EQ(file_open(p.c_str(), kFileRead), nullptr);             // read: existing only
  File* f = file_open(p.c_str(), kFileWrite);                      // write: create
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(file_write(f, "hello", 5));
  file_close(f);
  f = file_open(p.c_str(), kFileWrite | kFileAppend);              // write: truncates
  file_close(f);
  f = file_open(p.c_str(), kFileRead);
  EXPECT_EQ(file_size(f), 0);
  file_close(f);
  f = file_open(p.c_str(), kFileAppend);                           // append alone
  EXPECT_TRUE(file_write(f, "abc", 3));
  file_close(f);
  f = file_open(p.c_str(), kFileAppend);
  EXPECT_TRUE(file_write(f, "def", 3));                            // position at the end
  file_close(f);
  f = file_open(p.c_str(), kFileRead);
  char buf[8] = {};
  EXPECT_EQ(file_read(f, buf, 2, 4), 3);                           // whole records only
  EXPECT_STREQ(buf, "abcdef");
  EXPECT_TRUE(file_seek(f, 4));
  EXPECT_EQ(file_read_byte(f), 'e');
  EXPECT_EQ(file_read_byte(f), 'f');
  EXPECT_EQ(file_read_byte(f), -1);
  file_close(f);
  unlink(p.c_str());
}

TEST(Files, AppendAloneOnAbsentFileCreatesAtPositionZero) {
  std::string p = temp_path("append");
  unlink(p.c_str());
  File* f = file_open(p.c_str(), kFileAppend);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(file_size(f), 0);
  file_close(f);
  f = file_open(p.c_str(), kFileRead | kFileWrite);  // read and write: opens existing
  ASSERT_NE(f, nullptr);
  file_close(f);
  unlink(p.c_str());
}

TEST(Files, MappingAndDirectoryTest) {
  std::string p = temp_path("map");
  File* f = file_open(p.c_str(), kFileWrite);
  file_write(f, "0123456789", 10);
  file_close(f);
  FileMapping* m = file_map(p.c_str(), 6);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(memcmp(m->base, "012345", 6), 0);
  EXPECT_EQ(m->length, 6u);
  file_unmap(m);
  EXPECT_EQ(file_map((p + ".absent").c_str(), 6), nullptr);
  EXPECT_FALSE(path_is_directory(p.c_str()));
  EXPECT_TRUE(path_is_directory(testing::TempDir().c_str()));
  EXPECT_FALSE(path_is_directory(nullptr));
  unlink(p.c_str());
}

TEST(Text, SuffixesAndLists) {
  EXPECT_TRUE(string_ends_with("amigos", "os"));
  EXPECT_FALSE(string_ends_with("os", "amigos"));
  EXPECT_TRUE(string_ends_with("os", ""));
  const char* suffixes[] = {"s", "os", nullptr};
  const char* text = "amigos";
  EXPECT_EQ(string_suffix_in_list(text, suffixes), text + 5);
  const char* none[] = {"x", nullptr};
  EXPECT_EQ(string_suffix_in_list(text, none), nullptr);
  const char* words[] = {"de", "da", nullptr};
  EXPECT_TRUE(string_in_list("da", words));
  EXPECT_FALSE(string_in_list("do", words));
  char* sub = string_sub("abcdef", 2, 3);
  EXPECT_STREQ(sub, "cde");
  heap_free(sub);
  EXPECT_EQ(string_copy(nullptr), nullptr);
  const char* abc = "abc";
  EXPECT_EQ(string_find_char(abc, 'c'), abc + 2);
  EXPECT_EQ(string_find_char("abc", 'z'), nullptr);
  EXPECT_DOUBLE_EQ(string_to_double("2.5x"), 2.5);
  EXPECT_DOUBLE_EQ(string_to_double("x"), 0.0);
  EXPECT_EQ(string_to_int("  -42abc"), -42);
  EXPECT_EQ(string_to_int("+7"), 7);
  EXPECT_EQ(string_to_int("abc"), 0);
  EXPECT_EQ(string_to_int("2718093645"), static_cast<int32_t>(2718093645u));  // wraps like atoi
  EXPECT_EQ(string_to_int("007"), 7);
  Value* v = value_new_string("ab");
  value_string_append(v, "cd");
  EXPECT_STREQ(value_string(v), "abcd");
  value_release(v);
}

}  // namespace
