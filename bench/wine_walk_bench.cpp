// The File/Path walk on the real registry under Wine, against a bare walk of the same keys with
// the same open discipline (every key opened below its parent's handle without following
// registry links, with full access; every subkey and every value enumerated into buffers of the
// walk's sizes). Run it in a throwaway prefix (scripts/bench does): it seeds
// HKEY_LOCAL_MACHINE\Software\QuarveloBench with 100,101 keys and 300,303 values of a desktop's
// mix, and a folder of the files they name, through the real registry and file system. One
// reference to a file in twelve names one that is gone: half from a folder that still holds its
// program (kept), half from a folder of the drive's root that was never made (reported).
//
// Before it seeds anything, it scans the prefix as it was made: a full eleven-category scan (the
// safe list and Windows' own rows loaded, no pacing) against a bare read of every key and value of
// HKEY_LOCAL_MACHINE and HKEY_USERS with the same opens and buffers.
//
// Each pair runs twice, alternately; each figure is the faster of its two runs. It prints
//   wine full scan/bare read ratio: F
//   wine file-path walk/bare ratio: W
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/categories.h"
#include "engine/checks.h"
#include "engine/exclusion_lists.h"
#include "engine/registry_problem.h"
#include "engine/registry_cleaner.h"
#include "engine/scan_driver.h"
#include "platform/registry.h"
#include "platform/win32/win32_platform.h"
#include "state/state_texts.h"

namespace {

constexpr wchar_t kBenchKey[] = L"Software\\QuarveloBench";
constexpr wchar_t kBenchFolder[] = L"C:\\QvBench";
constexpr wchar_t kGoneFolder[] = L"C:\\QvBenchGone";  // never made
constexpr int kVendors = 100;
constexpr int kProducts = 10;
constexpr int kLeaves = 99;
constexpr int kValuesPerKey = 3;
constexpr int kFilesPerVendor = 5;

struct SEEDED {
  long keys = 0;
  long values = 0;
  long files = 0;
};

class CSeeder {
 public:
  CSeeder() : m_random(20261208) {}

  bool Seed(SEEDED* seeded) {
    if (!CreateDirectoryW(kBenchFolder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
    for (int v = 0; v < kVendors; ++v) {
      const std::wstring folder = std::wstring(kBenchFolder) + L"\\Vendor" + std::to_wstring(v);
      CreateDirectoryW(folder.c_str(), nullptr);
      for (int f = 0; f < kFilesPerVendor; ++f) {
        const std::wstring path = folder + L"\\part" + std::to_wstring(f) + L".dll";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        m_files.push_back(path);
        ++seeded->files;
      }
    }
    HKEY root = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBenchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    bool ok = Values(root, seeded);
    ++seeded->keys;
    for (int v = 0; ok && v < kVendors; ++v) {
      HKEY vendor = Child(root, L"Vendor" + std::to_wstring(v), seeded);
      ok = vendor != nullptr && Values(vendor, seeded);
      for (int p = 0; ok && p < kProducts; ++p) {
        HKEY product = Child(vendor, L"Product" + std::to_wstring(p), seeded);
        ok = product != nullptr && Values(product, seeded);
        for (int l = 0; ok && l < kLeaves; ++l) {
          HKEY leaf = Child(product, L"{" + Guid() + L"}", seeded);
          ok = leaf != nullptr && Values(leaf, seeded);
          if (leaf != nullptr) RegCloseKey(leaf);
        }
        if (product != nullptr) RegCloseKey(product);
      }
      if (vendor != nullptr) RegCloseKey(vendor);
    }
    RegCloseKey(root);
    return ok;
  }

 private:
  HKEY Child(HKEY parent, const std::wstring& name, SEEDED* seeded) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return nullptr;
    }
    ++seeded->keys;
    return key;
  }

  int Draw(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

  std::wstring Guid() {
    wchar_t text[40];
    std::swprintf(text, 40, L"%08X-%04X-%04X-%04X-%08X%04X", static_cast<unsigned>(m_random()),
                  Draw(0, 0xFFFF), Draw(0, 0xFFFF), Draw(0, 0xFFFF),
                  static_cast<unsigned>(m_random()), Draw(0, 0xFFFF));
    return text;
  }

  // A file the folder holds, or (one time in twelve) one that is gone: half of those from a
  // vendor's folder that still holds its program (kept: the program may make it again), half
  // from a folder of the drive's root that was removed whole (reported).
  std::wstring FileReference() {
    if (Draw(0, 11) != 0) return m_files[static_cast<std::size_t>(Draw(0, static_cast<int>(m_files.size()) - 1))];
    const std::wstring folder = Draw(0, 1) == 0 ? std::wstring(kBenchFolder) : std::wstring(kGoneFolder);
    return folder + L"\\Vendor" + std::to_wstring(Draw(0, kVendors - 1)) + L"\\part" +
           std::to_wstring(Draw(0, 499)) + L".dll";
  }

  bool Text(HKEY key, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
    return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

  bool Values(HKEY key, SEEDED* seeded) {
    for (int i = 0; i < kValuesPerKey; ++i) {
      const std::wstring name = L"Value" + std::to_wstring(i);
      const int kind = Draw(0, 99);
      bool ok = true;
      if (kind < 35) {
        ok = Text(key, name, FileReference());
      } else if (kind < 45) {
        ok = Text(key, name, L"\"" + FileReference() + L"\" /run \"%1\"");
      } else if (kind < 50) {
        ok = Text(key, name, L"%SystemRoot%\\system32\\shell32.dll", REG_EXPAND_SZ);
      } else if (kind < 65) {
        ok = Text(key, name, L"{" + Guid() + L"}");
      } else if (kind < 80) {
        ok = Text(key, name, L"A description of setting " + std::to_wstring(Draw(0, 99999)));
      } else if (kind < 90) {
        const DWORD number = static_cast<DWORD>(m_random());
        ok = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof number) == ERROR_SUCCESS;
      } else {
        std::vector<BYTE> bytes(static_cast<std::size_t>(Draw(8, 64)));
        for (BYTE& b : bytes) b = static_cast<BYTE>(m_random());
        ok = RegSetValueExW(key, name.c_str(), 0, REG_BINARY, bytes.data(),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
      }
      if (!ok) return false;
      ++seeded->values;
    }
    return true;
  }

  std::mt19937 m_random;
  std::vector<std::wstring> m_files;
};

// The same keys, the same opens and the same enumeration buffers as the File/Path walk, and
// nothing done with what is read. An enumeration ends at its first error, as the walk's does:
// Wine opens Perflib\009 as the performance-text handle, which answers every index with
// ERROR_INVALID_HANDLE and never with "no more items".
class CBareWalk {
 public:
  explicit CBareWalk(qv::IRegistry& registry)
      : m_registry(registry),
        m_keyName(qv::kWalkKeyNameChars + 1, L'\0'),
        m_valueName(qv::kCheckValueNameChars + 1, L'\0'),
        m_data(qv::kWalkValueDataBytes + 2, 0) {}

  void Walk(qv::RegHandle parent, std::wstring_view name) {
    qv::CRegKey key(m_registry);
    if (key.OpenNoFollow(parent, name, qv::kKeyAllAccess) != qv::kErrorSuccess) return;
    ++keys;
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t chars = qv::kWalkKeyNameChars;
      const qv::ErrorCode rc = m_registry.EnumKey(key.get(), index, m_keyName.data(), &chars);
      if (qv::EndsEnumeration(rc)) break;
      if (rc == qv::kErrorSuccess) Walk(key.get(), std::wstring(m_keyName.data(), chars));
    }
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t nameChars = qv::kCheckValueNameChars;
      std::uint32_t dataBytes = qv::kWalkValueDataBytes;
      std::uint32_t type = 0;
      const qv::ErrorCode rc = m_registry.EnumValue(key.get(), index, m_valueName.data(),
                                                    &nameChars, &type, m_data.data(), &dataBytes);
      if (qv::EndsEnumeration(rc)) break;
      if (rc == qv::kErrorSuccess) ++values;
    }
  }

  long keys = 0;
  long values = 0;

 private:
  qv::IRegistry& m_registry;
  std::wstring m_keyName;
  std::wstring m_valueName;
  std::vector<std::uint8_t> m_data;
};

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Counts what a scan examines.
class CCountingSink final : public qv::IScanSink {
 public:
  void OnScanStarted(qv::CRegistryCleaner&) override {}
  void OnEntryExamined(const std::wstring&) override { ++items; }
  void OnProblemFound(qv::CRegistryProblem&) override {}
  void OnCategoryStarted(int) override {}
  void OnCategoryFinished(int) override {}
  void OnCategorySkipped(int) override {}
  void OnScanEnded() override {}
  long items = 0;
};

// The full scan of the prefix as it is, against a bare read of its two hives; returns the ratio.
double ScanAgainstBareRead(qv::CWin32Platform& system) {
  double bare = 1e30;
  double scan = 1e30;
  for (int round = 0; round < 2; ++round) {
    CBareWalk bareWalk(system.registry());
    auto start = std::chrono::steady_clock::now();
    bareWalk.Walk(qv::kHkeyLocalMachine, L"");
    bareWalk.Walk(qv::kHkeyUsers, L"");
    const double bareSeconds = Seconds(start);
    bare = std::min(bare, bareSeconds);

    qv::CExclusionLists lists(system.platform(), nullptr, qv::kProductName);
    lists.LoadExclusionLists();
    qv::CProblemList problems;
    qv::CRegistryCleaner engine(system.platform(), problems, &lists, nullptr);
    engine.Prepare(qv::AllCategories());
    engine.CountJudgedPaths(true);  // the figure printed with each round
    CCountingSink sink;
    engine.SetNotifySink(&sink);
    qv::SCAN_DRIVER_OPTIONS options;
    options.pacing = false;
    const qv::FILE_SYSTEM_CALLS before = system.files().Calls();
    start = std::chrono::steady_clock::now();
    static_cast<void>(qv::ScanThreadProc(engine, options));
    const double scanSeconds = Seconds(start);
    const qv::FILE_SYSTEM_CALLS after = system.files().Calls();
    scan = std::min(scan, scanSeconds);
    std::printf("round %d: bare read of both hives %.2f s (%ld keys, %ld values), full scan %.2f s "
                "(%ld entries, %zu problems, %llu file-system calls for %zu judged paths)\n",
                round + 1, bareSeconds, bareWalk.keys, bareWalk.values, scanSeconds, sink.items,
                problems.size(), static_cast<unsigned long long>(after.Total() - before.Total()),
                engine.JudgedPathCount());
    std::fflush(stdout);
  }
  return scan / bare;
}

}  // namespace

int main() {
  qv::CWin32Platform system;
  const double fullScanRatio = ScanAgainstBareRead(system);
  std::printf("wine full scan/bare read ratio: %.2f\n", fullScanRatio);
  std::fflush(stdout);

  SEEDED seeded;
  auto start = std::chrono::steady_clock::now();
  if (!CSeeder().Seed(&seeded)) {
    std::fprintf(stderr, "wine walk bench: seeding the registry failed after %ld keys\n", seeded.keys);
    return 2;
  }
  std::printf("seeded %ld keys, %ld values and %ld files in %.1f s\n", seeded.keys, seeded.values,
              seeded.files, Seconds(start));

  double bare = 1e30;
  double walk = 1e30;
  for (int round = 0; round < 2; ++round) {
    CBareWalk bareWalk(system.registry());
    start = std::chrono::steady_clock::now();
    bareWalk.Walk(qv::kHkeyLocalMachine, kBenchKey);
    const double bareSeconds = Seconds(start);
    bare = std::min(bare, bareSeconds);

    qv::CProblemList problems;
    qv::CRegistryCleaner engine(system.platform(), problems, nullptr, nullptr);
    engine.Prepare(qv::AllCategories());
    start = std::chrono::steady_clock::now();
    qv::WalkFileReferences(engine, qv::kHkeyLocalMachine, kBenchKey,
                           L"HKEY_LOCAL_MACHINE\\Software\\QuarveloBench");
    const double walkSeconds = Seconds(start);
    walk = std::min(walk, walkSeconds);
    std::printf("round %d: bare walk %.2f s (%ld keys, %ld values), file-path walk %.2f s "
                "(%zu problems)\n",
                round + 1, bareSeconds, bareWalk.keys, bareWalk.values, walkSeconds,
                problems.size());
    std::fflush(stdout);
  }
  std::printf("wine file-path walk/bare ratio: %.2f\n", walk / bare);
  return 0;
}
