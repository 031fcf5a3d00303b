// The scan at the scale of a real desktop, on the in-memory platform: a full eleven-category scan
// (the real checks, the safe list, no pacing, a sink that only counts) against a bare recursive
// enumeration of the same machine (every key opened, every value read, every folder listed), at
// full size and at a quarter of it. After Google Benchmark's own table it prints the figures the
// goals are read from:
//
//   scan/bare ratio: R      full-size scan time / full-size bare enumeration time
//   linearity: L            full-size scan time / (4 x quarter-size scan time)
//   peak memory MiB: M      of this process (the quarter machine is freed before the full one)
//   items per second: N     entries the full-size scan examined per second
//
// Each measurement is the fastest of its repetitions.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/scale_machine.h"
#include "engine/exclusion_lists.h"
#include "engine/registry_cleaner.h"
#include "engine/scan_driver.h"
#include "state/state_texts.h"

namespace qv::bench {
namespace {

struct CMachine {
  CMemoryPlatform platform;
  SCALE_COUNTS counts;
  std::unique_ptr<CExclusionLists> lists;
};

// One machine at a time: the quarter one goes before the full one is built.
std::unique_ptr<CMachine> g_machine;
int g_machineKeys = -1;

CMachine& MachineOf(const SCALE_SHAPE& shape) {
  if (g_machine == nullptr || g_machineKeys != shape.keys) {
    g_machine.reset();
    g_machine = std::make_unique<CMachine>();
    g_machine->counts = BuildScaleMachine(g_machine->platform, shape);
    g_machine->lists =
        std::make_unique<CExclusionLists>(g_machine->platform.platform(), nullptr, kProductName);
    g_machine->lists->LoadExclusionLists();
    g_machineKeys = shape.keys;
  }
  return *g_machine;
}

// Counts what the scan reports and nothing else.
class CCountingSink final : public IScanSink {
 public:
  void OnScanStarted(CRegistryCleaner&) override {}
  void OnEntryExamined(const std::wstring&) override { ++items; }
  void OnProblemFound(CRegistryProblem&) override { ++problems; }
  void OnCategoryStarted(int) override { m_categoryStart = std::chrono::steady_clock::now(); }
  void OnCategoryFinished(int index) override {
    if (index >= 0 && index < kCategoryCount) {
      categorySeconds[static_cast<std::size_t>(index)] =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - m_categoryStart).count();
    }
  }
  void OnCategorySkipped(int) override {}
  void OnScanEnded() override {}
  std::uint64_t items = 0;
  std::uint64_t problems = 0;
  std::array<double, kCategoryCount> categorySeconds{};

 private:
  std::chrono::steady_clock::time_point m_categoryStart;
};

// ---- The bare enumeration ----

class CBareWalk {
 public:
  explicit CBareWalk(CMachine& machine)
      : m_registry(machine.platform.registry()),
        m_files(machine.platform.files()),
        m_name(16384),
        m_data(65536) {}

  void Keys(RegHandle parent, const std::wstring& subkey) {
    RegHandle key = kNullRegHandle;
    if (m_registry.OpenKey(parent, subkey, kKeyRead, &key) != kErrorSuccess) return;
    ++items;
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t chars = static_cast<std::uint32_t>(m_name.size());
      std::uint32_t bytes = static_cast<std::uint32_t>(m_data.size());
      std::uint32_t type = 0;
      if (m_registry.EnumValue(key, i, m_name.data(), &chars, &type, m_data.data(), &bytes) !=
          kErrorSuccess) {
        break;
      }
      ++items;
    }
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t chars = static_cast<std::uint32_t>(m_name.size());
      if (m_registry.EnumKey(key, i, m_name.data(), &chars) != kErrorSuccess) break;
      Keys(key, std::wstring(m_name.data(), chars));
    }
    static_cast<void>(m_registry.CloseKey(key));
  }

  void Folders(const std::wstring& folder) {
    std::vector<CFindData> entries;
    if (m_files.FindFiles(folder + L"\\*.*", &entries) != kErrorSuccess) return;
    for (const CFindData& entry : entries) {
      ++items;
      if (entry.directory && entry.name != L"." && entry.name != L"..") {
        Folders(folder + L"\\" + entry.name);
      }
    }
  }

  std::uint64_t items = 0;

 private:
  IRegistry& m_registry;
  IFileSystem& m_files;
  std::vector<wchar_t> m_name;
  std::vector<std::uint8_t> m_data;
};

// ---- Measurements ----

struct RESULT {
  double scanSeconds = 1e30;
  double bareSeconds = 1e30;
  std::uint64_t scanItems = 0;
  std::uint64_t problems = 0;
  std::array<double, kCategoryCount> categorySeconds{};  // of the fastest scan
};
std::map<int, RESULT> g_results;  // by number of keys

void BM_Scan(benchmark::State& state, SCALE_SHAPE shape) {
  CMachine& machine = MachineOf(shape);
  for (auto _ : state) {
    CProblemList problems;
    CCountingSink sink;
    CRegistryCleaner engine(machine.platform.platform(), problems, machine.lists.get(), nullptr);
    engine.Prepare(AllCategories());
    engine.SetNotifySink(&sink);
    SCAN_DRIVER_OPTIONS options;
    options.pacing = false;
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ScanThreadProc(engine, options));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RESULT& result = g_results[shape.keys];
    if (seconds < result.scanSeconds) result.categorySeconds = sink.categorySeconds;
    result.scanSeconds = std::min(result.scanSeconds, seconds);
    result.scanItems = sink.items;
    result.problems = sink.problems;
    state.counters["items"] = static_cast<double>(sink.items);
    state.counters["problems"] = static_cast<double>(sink.problems);
  }
}

void BM_Bare(benchmark::State& state, SCALE_SHAPE shape) {
  CMachine& machine = MachineOf(shape);
  for (auto _ : state) {
    CBareWalk walk(machine);
    const auto start = std::chrono::steady_clock::now();
    walk.Keys(kHkeyLocalMachine, L"");
    walk.Keys(kHkeyUsers, L"");
    walk.Folders(L"C:");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RESULT& result = g_results[shape.keys];
    result.bareSeconds = std::min(result.bareSeconds, seconds);
    state.counters["items"] = static_cast<double>(walk.items);
  }
}

double PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace
}  // namespace qv::bench

int main(int argc, char** argv) {
  using namespace qv::bench;
  const SCALE_SHAPE quarter = QuarterOf(kFullScale);
  for (const auto& [name, shape] : {std::pair{"quarter", quarter}, std::pair{"full", kFullScale}}) {
    benchmark::RegisterBenchmark((std::string("scan/") + name).c_str(), BM_Scan, shape)
        ->Iterations(1)
        ->Repetitions(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("bare/") + name).c_str(), BM_Bare, shape)
        ->Iterations(1)
        ->Repetitions(3)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const RESULT& full = g_results[kFullScale.keys];
  const RESULT& small = g_results[quarter.keys];
  if (g_machine != nullptr) {
    const SCALE_COUNTS& c = g_machine->counts;
    std::printf("machine: %llu keys, %llu values, %llu empty keys, %llu files, %llu shortcuts; "
                "the full scan examined %llu entries and found %llu problems\n",
                static_cast<unsigned long long>(c.keys), static_cast<unsigned long long>(c.values),
                static_cast<unsigned long long>(c.emptyKeys),
                static_cast<unsigned long long>(c.files),
                static_cast<unsigned long long>(c.shortcuts),
                static_cast<unsigned long long>(full.scanItems),
                static_cast<unsigned long long>(full.problems));
  }
  std::printf("full scan %.0f ms, bare enumeration %.0f ms; by category (ms):",
              full.scanSeconds * 1000.0, full.bareSeconds * 1000.0);
  for (int i = 0; i < qv::kCategoryCount; ++i) {
    std::printf(" %d=%.0f", i, full.categorySeconds[static_cast<std::size_t>(i)] * 1000.0);
  }
  std::printf("\n");
  std::printf("scan/bare ratio: %.2f\n", full.scanSeconds / full.bareSeconds);
  std::printf("linearity: %.2f\n", full.scanSeconds / (4.0 * small.scanSeconds));
  std::printf("peak memory MiB: %.2f\n", PeakMemoryMiB());
  std::printf("items per second: %.2f\n", static_cast<double>(full.scanItems) / full.scanSeconds);
  return 0;
}
