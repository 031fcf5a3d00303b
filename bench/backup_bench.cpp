// The registry backup writer against a bare walk of the same tree (open every key, read every
// value), on the in-memory platform. The ratio of the two is what the writer costs on top of
// reading the registry at all.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "repair/backup_file.h"

namespace qv {
namespace {

constexpr wchar_t kRoot[] = L"HKLM\\Software\\Bench";
constexpr wchar_t kRootPath[] = L"Software\\Bench";

// `keys` keys of 4 values each (a path, a command line, a number, a binary), 10 to a parent.
void Populate(CMemoryRegistry& registry, int keys) {
  for (int k = 0; k < keys; ++k) {
    const std::wstring key = std::wstring(kRoot) + L"\\group" + std::to_wstring(k / 10) +
                             L"\\key" + std::to_wstring(k);
    registry.SetString(key, L"Path", L"C:\\Program Files\\App" + std::to_wstring(k) + L"\\a.dll");
    registry.SetString(key, L"Command",
                       L"\"C:\\Program Files\\App\\run.exe\" /switch \"%1\" " + std::to_wstring(k));
    registry.SetDword(key, L"Count", static_cast<std::uint32_t>(k));
    registry.SetValueRaw(key, L"Blob", kRegBinary, std::vector<std::uint8_t>(64, 0x5A));
  }
}

std::uint64_t BareWalk(IRegistry& registry, RegHandle parent, const std::wstring& path) {
  CRegKey key(registry);
  if (key.Open(parent, path, kKeyQueryValue | kKeyEnumerateSubKeys) != kErrorSuccess) return 0;
  std::uint64_t items = 1;
  std::vector<wchar_t> name(16384);
  std::vector<std::uint8_t> data(4096);
  for (std::uint32_t i = 0;; ++i) {
    std::uint32_t chars = static_cast<std::uint32_t>(name.size());
    std::uint32_t bytes = static_cast<std::uint32_t>(data.size());
    std::uint32_t type = 0;
    if (registry.EnumValue(key.get(), i, name.data(), &chars, &type, data.data(), &bytes) !=
        kErrorSuccess) {
      break;
    }
    ++items;
  }
  for (std::uint32_t i = 0;; ++i) {
    std::wstring child;
    if (key.EnumKeyName(i, 1024, &child) != kErrorSuccess) break;
    items += BareWalk(registry, key.get(), child);
  }
  return items;
}

void BM_BareWalk(benchmark::State& state) {
  CMemoryPlatform machine;
  Populate(machine.registry(), static_cast<int>(state.range(0)));
  std::uint64_t items = 0;
  for (auto _ : state) items += BareWalk(machine.registry(), kHkeyLocalMachine, kRootPath);
  state.SetItemsProcessed(static_cast<std::int64_t>(items));
}

void BM_BackupKey(benchmark::State& state) {
  CMemoryPlatform machine;
  Populate(machine.registry(), static_cast<int>(state.range(0)));
  int run = 0;
  for (auto _ : state) {
    // A backup file is made only where none is (an existing file is never written over): each
    // run writes a file of its own.
    const std::wstring path = L"C:\\bench" + std::to_wstring(++run) + L".reg";
    std::unique_ptr<CBackupFile> file;
    if (CBackupFile::Create(machine.files(), path, L"", &file) != kErrorSuccess) {
      state.SkipWithError("the backup file cannot be created");
      return;
    }
    benchmark::DoNotOptimize(BackupKey(machine.registry(), kHkeyLocalMachine, kRootPath, file.get()));
    benchmark::DoNotOptimize(file->Close());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 5);  // a key and its 4 values
}

BENCHMARK(BM_BareWalk)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackupKey)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
