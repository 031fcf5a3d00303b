// Proof by merging back: trees of every kind of key and value are written to backup files with
// BackupKey and BackupValue, deleted, merged back by the system registry editor (regedit.exe,
// through the registry editor seam), and compared with what was there before.
//
// The trees come from a fixed seed. They hold every value type (0 to 12, and 0x20, 0x100), empty
// values, binary values from 0 to 10,000 bytes (every wrap point of a byte list), names and
// strings with backslashes, double quotes, equals signs, commas, brackets, the default value,
// characters of the code page and outside it, REG_SZ data that is not one terminated text (no
// bytes, no terminator, a NUL inside, an odd length), and chains 20 keys deep. "Plain" batches
// hold only what an 8-bit file can carry and must stay in that form; the others turn into the
// editor's Unicode form.
//
// Comparison: same keys, names, types and bytes. String data (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) must come back byte for byte, or else exactly in its terminated form: Wine's
// editor adds a terminating NUL character to string data that lacks one (an odd last byte then
// comes back as the low byte of a last character). The test counts those values separately.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/win32/registry_editor_win32.h"
#include "platform/win32/win32_platform.h"
#include "repair/backup_file.h"
#include "repair/backup_texts.h"
#include "repair/registry_merge.h"

namespace qv {
namespace {

constexpr wchar_t kArea[] = L"Software\\QuarveloMergeProof";
constexpr wchar_t kAreaFull[] = L"HKEY_CURRENT_USER\\Software\\QuarveloMergeProof";
constexpr int kTreeCount = 320;
constexpr int kTreesPerFile = 10;
constexpr std::uint64_t kSeed = 0x5157415256454C4FULL;

struct VALUE {
  std::wstring name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct NODE {
  std::wstring name;
  std::vector<VALUE> values;
  std::vector<NODE> children;
};

// ---------------------------------------------------------------------------------------------
// Generator

class CGenerator {
 public:
  explicit CGenerator(std::uint64_t seed) : m_state(seed) {}

  std::uint32_t Next() {  // splitmix64: the same sequence in every build
    m_state += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 16);
  }
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : Next() % n; }
  bool Chance(std::uint32_t percent) { return Below(100) < percent; }

  // One piece of a name or string.
  std::wstring Piece(bool plain, bool allowBackslash) {
    static const wchar_t* const kPlain[] = {
        L"a",  L"Z",  L"q",     L"7",  L"_",  L" ",      L"\"",     L"=",  L",",  L"@",
        L"[",  L"]",  L";",     L"-",  L"%",  L"\u00e9", L"\u00fc", L"\u00df", L"\u00ff",
        L"\u20ac", L"\u0152", L"\u2122", L"\u00ab", L"\u0081", L"hex:", L"dword:", L"\"\"",
        L"=-", L"x",  L"Key",   L"\u00c0", L"\t"};
    static const wchar_t* const kWide[] = {L"\u0416", L"\u03c0", L"\u6f22", L"\u2603",
                                           L"\U0001F600", L"\u0100", L"\u0131", L"\u05d0"};
    const std::uint32_t roll = Below(100);
    if (allowBackslash && roll < 12) {
      static const wchar_t* const kSlashes[] = {L"\\", L"\\\\", L"\\n", L"\\\"", L"C:\\a\"b",
                                                L"\\b"};
      return kSlashes[Below(std::size(kSlashes))];
    }
    if (!plain && roll < 25) return kWide[Below(std::size(kWide))];
    return kPlain[Below(std::size(kPlain))];
  }

  std::wstring Text(bool plain, bool allowBackslash, std::uint32_t maxPieces) {
    std::wstring text;
    const std::uint32_t pieces = Below(maxPieces + 1);
    for (std::uint32_t i = 0; i < pieces; ++i) text += Piece(plain, allowBackslash);
    return text;
  }

  std::wstring UniqueName(bool plain, bool isKey, std::set<std::wstring>* used) {
    for (;;) {
      std::wstring name = Text(plain, !isKey, 6);
      if (name.empty()) name = isKey ? L"k" : L"v";  // the empty value name is chosen apart
      if (name.size() > 200) name.resize(200);
      if (name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();  // a split pair
      std::wstring folded = name;
      if (!folded.empty()) CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
      if (used->insert(folded).second) return name;
    }
  }

  std::vector<std::uint8_t> RandomBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(Next());
    return bytes;
  }

  std::vector<std::uint8_t> Data(std::uint32_t type, bool plain) {
    switch (type) {
      case REG_SZ: {
        const std::uint32_t roll = Below(100);
        if (roll < 8) return {};
        std::wstring text = Chance(3) ? std::wstring(1000 + Below(4000), L'w') : Text(plain, true, 8);
        // Data that is not one terminated text goes out as string bytes: Unicode files only.
        if (plain) return ToUtf16LeBytes(text, true);
        if (roll < 14) text += L"\r\nsecond line\n";
        if (roll >= 14 && roll < 20) return ToUtf16LeBytes(text, false);  // unterminated
        if (roll >= 20 && roll < 25) text += std::wstring(1, L'\0') + L"after the NUL";
        if (roll >= 25 && roll < 31) {  // odd lengths
          std::vector<std::uint8_t> bytes = ToUtf16LeBytes(text, roll >= 28);
          if (roll == 30) bytes.clear();
          bytes.push_back(static_cast<std::uint8_t>(0x41 + roll));
          return bytes;
        }
        return ToUtf16LeBytes(text, true);
      }
      case REG_EXPAND_SZ:
      case REG_MULTI_SZ: {
        if (plain || Chance(10)) return {};
        std::vector<std::uint8_t> bytes;
        if (type == REG_EXPAND_SZ) {
          bytes = ToUtf16LeBytes(L"%SystemRoot%\\" + Text(false, true, 6), true);
        } else {
          const std::uint32_t strings = Below(5);
          for (std::uint32_t i = 0; i < strings; ++i) {
            std::wstring s = Text(false, true, 5);
            if (s.empty()) s = L"s";
            const auto part = ToUtf16LeBytes(s, true);
            bytes.insert(bytes.end(), part.begin(), part.end());
          }
          bytes.push_back(0);
          bytes.push_back(0);
        }
        const std::uint32_t roll = Below(100);
        if (roll < 5 && bytes.size() >= 2) bytes.resize(bytes.size() - 2);  // unterminated
        if (roll >= 5 && roll < 8) bytes.push_back(0x41);  // odd length after the terminator
        if (roll >= 8 && roll < 11) {                       // odd length, no terminator
          if (bytes.size() >= 2) bytes.resize(bytes.size() - 2);
          bytes.push_back(0x42);
        }
        if (roll == 11) return {0x43};  // a single byte
        return bytes;
      }
      case REG_DWORD: {
        const std::uint32_t roll = Below(100);
        if (roll < 4) return {};
        if (roll < 8) return RandomBytes(2);
        if (roll < 12) return RandomBytes(8);
        if (roll < 20) return {1, 0, 0, 0};
        if (roll < 28) return {0xFF, 0xFF, 0xFF, 0xFF};
        return RandomBytes(4);
      }
      case REG_BINARY: {
        static const std::size_t kLengths[] = {0,  1,  21, 22, 23,  45,  46,  47,  70,   71,
                                               72, 95, 96, 97, 120, 121, 122, 1022, 4094, 10000};
        if (Chance(60)) return RandomBytes(kLengths[Below(std::size(kLengths))]);
        return RandomBytes(Below(10001));
      }
      default:
        if (Chance(10)) return {};
        return RandomBytes(Chance(10) ? Below(3000) : Below(64));
    }
  }

  std::uint32_t Type() {
    static const std::uint32_t kTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x20, 0x100};
    return kTypes[Below(std::size(kTypes))];
  }

  NODE Key(std::wstring name, bool plain, int depth, int* budget) {
    NODE node;
    node.name = std::move(name);
    std::set<std::wstring> valueNames;
    const std::uint32_t values = Below(7);
    for (std::uint32_t i = 0; i < values; ++i) {
      VALUE value;
      value.name = Chance(12) ? std::wstring() : UniqueName(plain, false, &valueNames);
      if (value.name.empty() && !valueNames.insert(L"").second) continue;
      value.type = Type();
      value.data = Data(value.type, plain);
      node.values.push_back(std::move(value));
    }
    std::set<std::wstring> keyNames;
    const std::uint32_t children = depth < 4 ? Below(4) : 0;
    for (std::uint32_t i = 0; i < children && *budget > 0; ++i) {
      --*budget;
      node.children.push_back(Key(UniqueName(plain, true, &keyNames), plain, depth + 1, budget));
    }
    return node;
  }

  NODE Tree(int index, bool plain) {
    wchar_t name[16];
    swprintf(name, 16, L"T%04d", index);
    int budget = 30;
    NODE tree = Key(name, plain, 0, &budget);
    if (Chance(15)) {  // a chain 20 keys deep
      NODE* at = &tree;
      for (int level = 0; level < 20; ++level) {
        NODE link;
        link.name = L"d" + std::to_wstring(level) + (plain ? L"\u00e9" : L"\u0416");
        if (Chance(50)) {
          link.values.push_back({L"v", REG_SZ, ToUtf16LeBytes(L"level", true)});
        }
        at->children.push_back(std::move(link));
        at = &at->children.back();
      }
    }
    return tree;
  }

 private:
  std::uint64_t m_state;
};

// ---------------------------------------------------------------------------------------------
// The registry, read and written directly (not through the code under test).

void WriteTree(IRegistry& registry, const std::wstring& parentPath, const NODE& node) {
  const std::wstring path = parentPath + L"\\" + node.name;
  CRegKey key(registry);
  ASSERT_EQ(key.Create(kHkeyCurrentUser, path, kKeyAllAccess), kErrorSuccess) << ToUtf8(path);
  for (const VALUE& value : node.values) {
    ASSERT_EQ(registry.SetValue(key.get(), value.name, value.type, value.data.data(),
                                static_cast<std::uint32_t>(value.data.size())),
              kErrorSuccess);
  }
  for (const NODE& child : node.children) WriteTree(registry, path, child);
}

bool ReadTree(HKEY parent, const std::wstring& name, NODE* node) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  node->name = name;
  std::vector<wchar_t> valueName(16384);
  std::vector<std::uint8_t> data(20000);
  for (DWORD index = 0;; ++index) {
    DWORD nameChars = static_cast<DWORD>(valueName.size());
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(data.size());
    const LSTATUS rc =
        RegEnumValueW(key, index, valueName.data(), &nameChars, nullptr, &type, data.data(), &bytes);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) {
      ADD_FAILURE() << "cannot read a value of " << ToUtf8(name) << ": " << rc;
      continue;
    }
    node->values.push_back(
        {std::wstring(valueName.data(), nameChars), type,
         std::vector<std::uint8_t>(data.begin(), data.begin() + bytes)});
  }
  for (DWORD index = 0;; ++index) {
    wchar_t child[1024];
    DWORD chars = 1024;
    const LSTATUS rc = RegEnumKeyExW(key, index, child, &chars, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    NODE sub;
    if (ReadTree(key, std::wstring(child, chars), &sub)) node->children.push_back(std::move(sub));
  }
  RegCloseKey(key);
  return true;
}

HKEY AreaKey() {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kArea, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  return key;
}

// ---------------------------------------------------------------------------------------------
// Comparison

struct TALLY {
  int trees = 0;
  int keys = 0;
  int values = 0;
  int terminated = 0;  // string values that came back with the terminator the editor adds
  int oddStrings = 0;  // REG_SZ values that are not one text and its NUL
  int differences = 0;
  std::vector<std::string> details;
};

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char buffer[4];
  for (std::size_t i = 0; i < bytes.size() && i < 48; ++i) {
    snprintf(buffer, sizeof buffer, "%02x ", bytes[i]);
    out += buffer;
  }
  if (bytes.size() > 48) out += "...";
  return out;
}

// String data as the editor stores it: whole UTF-16 units ending with a NUL unit.
std::vector<std::uint8_t> Terminated(std::vector<std::uint8_t> bytes) {
  if (bytes.size() % 2 == 1) bytes.push_back(0);
  if (bytes.size() >= 2 && (bytes[bytes.size() - 2] != 0 || bytes.back() != 0)) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

// REG_SZ data that the quoted form carries exactly: one text, its NUL, no NUL inside.
bool IsTextAndNul(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    if ((bytes[i] == 0 && bytes[i + 1] == 0) != (i + 2 == bytes.size())) return false;
  }
  return true;
}

void Differ(TALLY* tally, const std::wstring& where, const std::string& what) {
  ++tally->differences;
  if (tally->details.size() < 30) tally->details.push_back(ToUtf8(where) + ": " + what);
}

void CompareValue(const VALUE& before, const VALUE& after, const std::wstring& where, TALLY* tally) {
  ++tally->values;
  if (before.type != after.type) {
    Differ(tally, where, "type " + std::to_string(before.type) + " came back as " +
                             std::to_string(after.type));
    return;
  }
  if (before.type == REG_SZ && !IsTextAndNul(before.data)) ++tally->oddStrings;
  if (before.data == after.data) return;
  if ((before.type == REG_SZ || before.type == REG_EXPAND_SZ || before.type == REG_MULTI_SZ) &&
      Terminated(before.data) == after.data) {
    ++tally->terminated;
    return;
  }
  Differ(tally, where, "bytes " + Hex(before.data) + "(" + std::to_string(before.data.size()) +
                           ") came back as " + Hex(after.data) + "(" +
                           std::to_string(after.data.size()) + ")");
}

void CompareNode(const NODE& before, const NODE& after, const std::wstring& path, TALLY* tally) {
  ++tally->keys;
  std::map<std::wstring, const VALUE*> afterValues;
  for (const VALUE& v : after.values) afterValues[v.name] = &v;
  for (const VALUE& v : before.values) {
    const auto it = afterValues.find(v.name);
    const std::wstring where = path + L" value \"" + v.name + L"\"";
    if (it == afterValues.end()) {
      Differ(tally, where, "missing after the merge");
      continue;
    }
    CompareValue(v, *it->second, where, tally);
    afterValues.erase(it);
  }
  for (const auto& [name, v] : afterValues) Differ(tally, path + L" value \"" + name + L"\"", "extra");
  std::map<std::wstring, const NODE*> afterKeys;
  for (const NODE& n : after.children) afterKeys[n.name] = &n;
  for (const NODE& n : before.children) {
    const auto it = afterKeys.find(n.name);
    if (it == afterKeys.end()) {
      Differ(tally, path + L"\\" + n.name, "key missing after the merge");
      continue;
    }
    CompareNode(n, *it->second, path + L"\\" + n.name, tally);
    afterKeys.erase(it);
  }
  for (const auto& [name, n] : afterKeys) Differ(tally, path + L"\\" + name, "extra key");
}

// ---------------------------------------------------------------------------------------------

class MergeBackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kArea);
    wchar_t folder[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    m_folder = folder;
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kArea); }

  std::wstring NextFile() {
    return m_folder + L"qv_merge_" + std::to_wstring(m_files++) + L".reg";
  }

  // A new backup file with the first line given.
  std::unique_ptr<CBackupFile> NewFile(const wchar_t* header) {
    std::unique_ptr<CBackupFile> file;
    EXPECT_EQ(CBackupFile::Create(m_machine.files(), NextFile(), kRegHeaderVersion5, &file),
              kErrorSuccess);
    if (file) {
      EXPECT_EQ(file->Write(std::wstring(header) + L"\n"), kErrorSuccess);
    }
    return file;
  }

  ErrorCode Merge(const std::wstring& path) {
    return MergeRegistryFile(m_editor, m_machine.registry(), m_machine.files(), path);
  }

  // Closes the file, deletes the trees, merges the file back and compares the trees.
  void MergeAndCompare(CBackupFile& file, const std::vector<NODE>& before, TALLY* tally) {
    const std::wstring path = file.Path();
    ASSERT_EQ(file.Close(), kErrorSuccess);
    for (const NODE& tree : before) {
      ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kArea) + L"\\" + tree.name).c_str()),
                ERROR_SUCCESS);
    }
    EXPECT_EQ(Merge(path), kErrorSuccess) << ToUtf8(path);
    HKEY area = AreaKey();
    for (const NODE& tree : before) {
      NODE after;
      if (!ReadTree(area, tree.name, &after)) {
        Differ(tally, tree.name, "tree missing after the merge");
        continue;
      }
      CompareNode(tree, after, std::wstring(kAreaFull) + L"\\" + tree.name, tally);
    }
    RegCloseKey(area);
    DeleteFileW(path.c_str());
  }

  CWin32Platform m_machine;
  CWin32RegistryEditor m_editor;
  std::wstring m_folder;
  int m_files = 0;
};

// Every value of the tree with the key path below the area.
void CollectValues(const NODE& node, const std::wstring& path,
                   std::vector<std::pair<std::wstring, const VALUE*>>* out) {
  for (const VALUE& v : node.values) out->push_back({path, &v});
  for (const NODE& child : node.children) CollectValues(child, path + L"\\" + child.name, out);
}

TEST_F(MergeBackTest, EveryTreeComesBackExactly) {
  CGenerator generator(kSeed);
  TALLY keySections;
  TALLY valueSections;
  int plainFiles = 0;
  int unicodeFiles = 0;
  int valueFiles = 0;
  HKEY area = AreaKey();
  for (int first = 0; first < kTreeCount; first += kTreesPerFile) {
    const int batch = first / kTreesPerFile;
    const bool plain = batch % 3 == 0;
    // Plain files alternate between the two headers of the 8-bit form.
    const wchar_t* header = plain && batch % 2 == 1 ? kRegHeaderVersion5 : kRegHeaderVersion4;
    std::vector<NODE> trees;
    for (int i = first; i < first + kTreesPerFile && i < kTreeCount; ++i) {
      const NODE generated = generator.Tree(i, plain);
      WriteTree(m_machine.registry(), kArea, generated);
      NODE stored;  // the original is what the registry holds
      ASSERT_TRUE(ReadTree(area, generated.name, &stored));
      trees.push_back(std::move(stored));
    }

    std::unique_ptr<CBackupFile> file = NewFile(header);
    ASSERT_NE(file, nullptr);
    for (const NODE& tree : trees) {
      ASSERT_EQ(BackupKey(m_machine.registry(), kHkeyCurrentUser,
                          std::wstring(kArea) + L"\\" + tree.name, file.get()),
                kErrorSuccess);
    }
    if (plain) {
      EXPECT_FALSE(file->IsUnicode()) << "batch " << batch;
      ++plainFiles;
    } else {
      unicodeFiles += file->IsUnicode() ? 1 : 0;
    }
    MergeAndCompare(*file, trees, &keySections);
    keySections.trees += static_cast<int>(trees.size());

    if (batch % 3 == 1 || batch % 3 == 0) {
      // Value sections, on the original trees again (whatever the key sections gave back): some
      // values of each tree, one section each.
      for (const NODE& tree : trees) {
        RegDeleteTreeW(area, tree.name.c_str());
        WriteTree(m_machine.registry(), kArea, tree);
      }
      std::unique_ptr<CBackupFile> values = NewFile(kRegHeaderVersion4);
      ASSERT_NE(values, nullptr);
      std::vector<std::pair<std::wstring, const VALUE*>> picked;
      for (const NODE& tree : trees) {
        std::vector<std::pair<std::wstring, const VALUE*>> all;
        CollectValues(tree, std::wstring(kArea) + L"\\" + tree.name, &all);
        for (std::size_t i = 0; i < all.size(); i += 1 + generator.Below(3)) picked.push_back(all[i]);
      }
      for (const auto& [path, value] : picked) {
        EXPECT_EQ(BackupValue(m_machine.registry(), kHkeyCurrentUser, path, value->name,
                              values.get()),
                  kErrorSuccess);
      }
      if (plain) {
        EXPECT_FALSE(values->IsUnicode());
      }
      for (const auto& [path, value] : picked) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteValueW(key, value->name.c_str()), ERROR_SUCCESS);
        RegCloseKey(key);
      }
      // Only the values are gone: merge and compare the whole trees again.
      const std::wstring path = values->Path();
      ASSERT_EQ(values->Close(), kErrorSuccess);
      EXPECT_EQ(Merge(path), kErrorSuccess);
      for (const NODE& tree : trees) {
        NODE after;
        ASSERT_TRUE(ReadTree(area, tree.name, &after));
        TALLY whole;
        CompareNode(tree, after, std::wstring(kAreaFull) + L"\\" + tree.name, &whole);
        valueSections.differences += whole.differences;
        valueSections.terminated += whole.terminated;
        for (const std::string& d : whole.details) valueSections.details.push_back(d);
      }
      valueSections.values += static_cast<int>(picked.size());
      DeleteFileW(path.c_str());
      ++valueFiles;
    }
    for (const NODE& tree : trees) {
      RegDeleteTreeW(area, tree.name.c_str());
    }
  }
  RegCloseKey(area);

  std::printf(
      "merge-back: %d trees, %d keys and %d values merged back from key sections "
      "(%d files: %d plain 8-bit, %d turned Unicode), %d of them REG_SZ values that are not one "
      "terminated text; %d values from value sections (%d files); string values that came back "
      "terminated: %d from key sections, %d from value sections; differences: %d in key "
      "sections, %d in value sections\n",
      keySections.trees, keySections.keys, keySections.values, m_files - valueFiles, plainFiles,
      unicodeFiles, keySections.oddStrings, valueSections.values, valueFiles,
      keySections.terminated, valueSections.terminated, keySections.differences,
      valueSections.differences);
  for (const std::string& d : keySections.details) std::printf("  key sections: %s\n", d.c_str());
  for (const std::string& d : valueSections.details) std::printf("  value sections: %s\n", d.c_str());
  EXPECT_EQ(keySections.differences, 0);
  EXPECT_EQ(valueSections.differences, 0);
  EXPECT_EQ(keySections.trees, kTreeCount);
  EXPECT_GT(keySections.keys, 3 * kTreeCount);
  EXPECT_GT(keySections.values, 5 * kTreeCount);
  EXPECT_GT(valueSections.values, kTreeCount);
  EXPECT_GT(plainFiles, 5);
  EXPECT_GT(unicodeFiles, 5);
  EXPECT_GT(keySections.oddStrings, 20);
}

// A name with a line break has no form in the file: BackupKey leaves it out and says so (the key
// is then not deleted by a repair), and the rest of the file still merges back exactly, with
// nothing written into the key above.
TEST_F(MergeBackTest, NamesWithLineBreaksAreLeftOutAndTheRestMergesBack) {
  HKEY area = AreaKey();
  NODE tree;
  tree.name = L"Breaks";
  tree.values = {{L"ok", REG_SZ, ToUtf16LeBytes(L"1", true)},
                 {L"two\nlines", REG_SZ, ToUtf16LeBytes(L"lost", true)},
                 {L"carriage\rreturn", REG_DWORD, {1, 0, 0, 0}}};
  NODE good;
  good.name = L"good";
  good.values = {{L"g", REG_SZ, ToUtf16LeBytes(L"2", true)}};
  NODE bad;
  bad.name = L"bad\nkey";
  bad.values = {{L"b", REG_SZ, ToUtf16LeBytes(L"3", true)}};
  tree.children = {good, bad};
  WriteTree(m_machine.registry(), kArea, tree);

  std::unique_ptr<CBackupFile> file = NewFile(kRegHeaderVersion4);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(BackupKey(m_machine.registry(), kHkeyCurrentUser, std::wstring(kArea) + L"\\Breaks",
                      file.get()),
            kErrorInvalidData);
  EXPECT_EQ(BackupValue(m_machine.registry(), kHkeyCurrentUser, std::wstring(kArea) + L"\\Breaks",
                        L"two\nlines", file.get()),
            kErrorInvalidData);

  NODE expected;  // what the file can carry
  expected.name = tree.name;
  expected.values = {tree.values[0]};
  expected.children = {good};
  TALLY tally;
  MergeAndCompare(*file, {expected}, &tally);
  for (const std::string& d : tally.details) std::printf("  %s\n", d.c_str());
  EXPECT_EQ(tally.differences, 0);
  EXPECT_EQ(tally.keys, 2);
  NODE areaAfter;  // nothing landed in the area key itself
  ASSERT_TRUE(ReadTree(HKEY_CURRENT_USER, kArea, &areaAfter));
  EXPECT_TRUE(areaAfter.values.empty());
  RegCloseKey(area);
}

}  // namespace
}  // namespace qv
