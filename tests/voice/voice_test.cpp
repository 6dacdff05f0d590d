#include <gtest/gtest.h>

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>
#include <set>
#include <string>
#include <vector>

#include "core/contract.h"
#include "tests/support/temp_dir.h"
#include "tools/dbwriter.h"

namespace {

const std::string kModule = std::string(SELVANA_BIN_DIR) + "/" SELVANA_MODULE_FILE;

struct Module {
  void* handle = dlopen(kModule.c_str(), RTLD_NOW | RTLD_LOCAL);
  RegisterVoiceFn reg = handle ? reinterpret_cast<RegisterVoiceFn>(dlsym(handle, "register_voice")) : nullptr;
  UnregisterVoiceFn unreg =
      handle ? reinterpret_cast<UnregisterVoiceFn>(dlsym(handle, "unregister_voice")) : nullptr;
  ~Module() {
    if (handle) dlclose(handle);
  }
};

std::string write_voice(const testutil::TempDir& dir, uint32_t checksum = 2718093645u) {
  UnitDbParts p;
  p.checksum = checksum;
  p.units = {{"pau-a", {}}, {"a-pau", {}}};
  for (auto& s : p.sections) s = {1, 2, 3, 4};
  std::string error;
  EXPECT_TRUE(unitdb_write(unitdb_voice_path(dir.path(), "vox_pt_br_selvana", checksum), p, &error)) << error;
  return dir.path();
}

TEST(VoiceModule, ExportsExactlyTheTwoEntryPoints) {
#ifdef _WIN32
  GTEST_SKIP() << "the DLL's exports are checked with objdump -p by tests/windows/check_dll.sh";
#endif
  std::string cmd = "nm -D --defined-only " + kModule;
  FILE* nm = popen(cmd.c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> symbols;
  char line[512];
  while (fgets(line, sizeof line, nm)) {
    std::string s(line);
    s = s.substr(s.find_last_of(' ') + 1);
    s.pop_back();
    symbols.insert(s);
  }
  ASSERT_EQ(pclose(nm), 0);
  EXPECT_EQ(symbols, (std::set<std::string>{"register_voice", "unregister_voice"}));
}

TEST(VoiceModule, KeepsNoMutableGlobals) {
#ifdef SELVANA_SANITIZE
  GTEST_SKIP() << "the sanitizers add writable data of their own to the module";
#endif
#ifdef _WIN32
  GTEST_SKIP() << "the DLL carries the static C and C++ runtimes and their writable data";
#endif
  // Writable data of the module, apart from what the toolchain itself puts there.
  std::string cmd = "objdump -t " + kModule;
  FILE* dump = popen(cmd.c_str(), "r");
  ASSERT_NE(dump, nullptr);
  std::vector<std::string> writable;
  char line[1024];
  while (fgets(line, sizeof line, dump)) {
    std::string s(line);
    if (s.find(" .data\t") == std::string::npos && s.find(" .bss\t") == std::string::npos &&
        s.find(" .tbss\t") == std::string::npos && s.find(" .tdata\t") == std::string::npos)
      continue;
    if (s.find("completed.") != std::string::npos || s.find("__dso_handle") != std::string::npos ||
        s.find("__TMC_END__") != std::string::npos || s.find("DW.ref.__gxx_personality") != std::string::npos)
      continue;
    writable.push_back(s);
  }
  ASSERT_EQ(pclose(dump), 0);
  EXPECT_TRUE(writable.empty()) << writable.front();
}

// The voice's features in registration order (the list holds them newest first).
std::vector<const FeaturePair*> in_order(const Voice* v) {
  std::vector<const FeaturePair*> pairs;
  for (const FeaturePair* p = v->features->head; p; p = p->next) pairs.insert(pairs.begin(), p);
  return pairs;
}

TEST(VoiceModule, RegisterAndUnregister) {
  Module m;
  ASSERT_NE(m.reg, nullptr) << dlerror();
  testutil::TempDir dir;
  std::string voxdir = write_voice(dir);
  std::string path = unitdb_voice_path(voxdir, "vox_pt_br_selvana", 2718093645u);
  int fds = testutil::open_fd_count();
  Voice* v = m.reg(voxdir.c_str());
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->reserved, nullptr);
  EXPECT_TRUE(testutil::mapped(path));

  struct Expect {
    const char* name;
    int type;
    const char* text;  // string value, or null
    int number;        // int value when type is int
  };
  // The whole registration table, in order.
  const std::vector<Expect> expected = {
      {"name", kTypeString, "vox_pt_br_selvana", 0},
      {"checksum", kTypeString, "2718093645", 0},
      {"vox_lexicon", kTypeLexicon, nullptr, 0},
      {"duration_func", kTypeUttFunc, nullptr, 0},
      {"zdur_cart", kTypeZdurCart, nullptr, 0},
      {"sample_rate", kTypeInt, nullptr, 16000},
      {"diphonedb", kTypeDiphoneDb, nullptr, 0},
      {"diphone_graph_func", kTypeUserData, nullptr, 0},
      {"viterbi_beam", kTypeInt, nullptr, 50},
      {"language_code", kTypeString, "pt-BR", 0},
      {"voice_name", kTypeString, "Selv\xc3\xa1na", 0},
      {"voice_gender", kTypeString, "Female", 0},
      {"voice_age", kTypeString, "45", 0},
      {"encoding", kTypeString, "ISO-8859-15", 0},
      {"language_name", kTypeString, "Brazilian Portuguese", 0},
      {"phoneset", kTypePhoneset, nullptr, 0},
      {"silence", kTypeString, "pau", 0},
      {"text_postpunctuation", kTypeString, ".,:;!?", 0},
      {"text_singlecharsymbols", kTypeString, "", 0},
      {"text_whitespace", kTypeString, " \t\n\r\xa0", 0},
      {"tokentowords_func", kTypeItemFunc, nullptr, 0},
      {"wordtosegments_func", kTypeItemFunc, nullptr, 0},
      {"syl_boundaript_br_func", kTypePhoneFunc, nullptr, 0},
      {"postlex_func", kTypeUttFunc, nullptr, 0},
      {"xsampa_to_xkelto_func", kTypeXsampaFunc, nullptr, 0},
      {"xkelto_to_xsampa_rules", kTypeUserData, nullptr, 0},
      {"phrasesylendtone_func", kTypeItemFunc, nullptr, 0},
      {"eng_version", kTypeString, "1.6.25", 0},
  };
  std::vector<const FeaturePair*> pairs = in_order(v);
  ASSERT_EQ(pairs.size(), expected.size());
  for (size_t k = 0; k < pairs.size(); ++k) {
    const Expect& e = expected[k];
    const Value* val = pairs[k]->val;
    EXPECT_STREQ(pairs[k]->name, e.name) << "position " << k;
    ASSERT_EQ(value_type(val), e.type) << e.name;
    if (e.type == kTypeString) {
      EXPECT_STREQ(val->body.s, e.text) << e.name;
    } else if (e.type == kTypeInt) {
      EXPECT_EQ(val->body.i, e.number) << e.name;
    } else {
      EXPECT_NE(val->body.p, nullptr) << e.name;  // every object and function is set
    }
  }
  // Feature functions: the standard set, then gpos, then ph_vcar.
  std::vector<std::string> functions;
  for (const FeaturePair* p = v->feature_functions->head; p; p = p->next) {
    functions.insert(functions.begin(), p->name);
    EXPECT_EQ(value_type(p->val), kTypeFFunc) << p->name;
  }
  ASSERT_EQ(functions.size(), 50u);
  EXPECT_EQ(functions.front(), "ph_vc");
  EXPECT_EQ(functions[47], "language_code");
  EXPECT_EQ(functions[48], "gpos");
  EXPECT_EQ(functions[49], "ph_vcar");

  m.unreg(v);
  EXPECT_FALSE(testutil::mapped(path));
  EXPECT_EQ(testutil::open_fd_count(), fds);
  m.unreg(nullptr);
}

TEST(VoiceModule, NullDirectoryOpensTheVoiceNameInTheWorkingFolder) {
  Module m;
  ASSERT_NE(m.reg, nullptr);
  testutil::TempDir dir;
  std::string voxdir = write_voice(dir);
  std::string cwd = std::filesystem::current_path().string();
  std::string work = dir.file("work");
  std::filesystem::create_directories(work);
  std::filesystem::copy_file(unitdb_voice_path(voxdir, "vox_pt_br_selvana", 2718093645u),
                             work + "/vox_pt_br_selvana");
  ASSERT_EQ(chdir(work.c_str()), 0);
  Voice* v = m.reg(nullptr);
  EXPECT_NE(v, nullptr);
  m.unreg(v);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
}

TEST(VoiceModule, FailedLoadLeavesNothingBehind) {
  Module m;
  ASSERT_NE(m.reg, nullptr);
  testutil::TempDir dir;
  // A database of another checksum under the voice's own path.
  UnitDbParts p;
  p.checksum = 1;
  for (auto& s : p.sections) s = {1};
  std::string path = unitdb_voice_path(dir.path(), "vox_pt_br_selvana", 2718093645u);
  std::string error;
  ASSERT_TRUE(unitdb_write(path, p, &error));
  int fds = testutil::open_fd_count();
  testing::internal::CaptureStderr();
  EXPECT_EQ(m.reg(dir.path().c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // a foreign file is refused silently
  EXPECT_FALSE(testutil::mapped(path));
  EXPECT_EQ(testutil::open_fd_count(), fds);
  testing::internal::CaptureStderr();
  EXPECT_EQ(m.reg((dir.path() + "/nothing").c_str()), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("**Error: cannot open or incorrect file"), std::string::npos);
  EXPECT_EQ(testutil::open_fd_count(), fds);
}

}  // namespace
