// The scan at the scale of a real desktop, on the in-memory platform: a full eleven-category scan
// (the real checks, the safe list, Windows' own rows, an ignore list of 200 entries, no pacing, a
// sink that only counts) against a bare recursive enumeration of the same machine (every key
// opened, every value read, every folder listed), at full size and at a quarter of it. After
// Google Benchmark's own table it prints the figures the goals are read from:
//
//   scan/bare ratio: R      full-size scan time / full-size bare enumeration time
//   linearity: L            full-size scan time / (4 x quarter-size scan time)
//   file-system calls: N for M judged paths (N/M ...)
//                           every call the full scan made on the file system, against the
//                           distinct paths it judged on the drive
//   scan memory MiB: S      the heap the full scan holds at its peak, above the peak of the bare
//                           enumeration of the same machine (every allocation counted)
//   cancel latency ms: C    a full scan cancelled when half its entries were examined: the longest
//                           time of three until it returned
//   peak memory MiB: M      of this process (the quarter machine is freed before the full one)
//   items per second: N     entries the full-size scan examined per second
//
// The scan and the bare enumeration of each size take turns, four rounds; each time is the
// fastest of its four. The full scan must find exactly the problems it
// found before (kExpectedFound, by category) and examine as many entries (kExpectedItems, the
// progress the window shows); otherwise the program says what changed and exits with 1.
//
// Where the time of the full scan goes (perf on a release build with frame pointers, the
// full machine; times are of the release build on a 2-core machine):
//  - The File/Path walk (category 7) is most of it. Walking HKEY_LOCAL_MACHINE and HKEY_USERS
//    without judging a single value costs about 250 ms: opening every key and reading every value
//    through the registry seam, as much as the bare enumeration's own registry part. That floor
//    stays; everything above it is judging.
//  - Of ~1.2 million values, ~880,000 are text and ~480,000 hold a colon or a percent sign. The
//    same few thousand texts come back again and again: once judged to keep their value, a text
//    is looked up by its bytes, before it is converted. Kept in a node-based hash set, that lookup
//    was ~40 % of the judging time (a cache miss on the bucket, the node and the string each); an
//    open-addressed table of hashes over one block of bytes left two misses (the slot and the
//    bytes to compare, ~7 % of the scan in memcmp); a table of fingerprints leaves one, the
//    slot, which is 8 bytes (half the table of 16-byte slots, so more of it stays in the cache).
//    Both hashes of a fingerprint are computed in one pass over the bytes. Finding where a
//    value's text ends took a loop over every unit; it reads four units at a time.
//  - ~68,000 texts a scan were judged in full: ~30,000 that name what is there, the first time
//    each is seen in its view; ~22,000 whose missing paths lie in the Windows folder or an
//    installed program's folder (judged again at every sight; now kept like the others); and
//    ~17,000 that become problems. A full judgement cost ~4 us, most of it the drive memo:
//    finding the folder's listing by its upper-cased path in a hash map (~6 % of the scan in the
//    map, its hashing and the key compare), the binary search in the listing with a compare that
//    folded case at every character (~3 %), and a sorted list of the absent names judged, kept
//    to count them (~4 %). Now the folders sit behind an open-addressed index of their hashes,
//    the listing's names are kept in upper case (one upper-cased copy of the name asked for, then
//    plain compares) and ordered by a hash of the name, so a search reads a name only where the
//    hashes are equal (the names of one folder often begin alike), and absent names are counted
//    only when a benchmark asks for the figure: the memo's share fell from ~18 % to under 10 % of
//    the scan, and File/Path from ~700 to ~440 ms. A path's test for doubled backslashes
//    compared two units at every backslash (~2 % of the scan). Expansion, tokenising and the 32-bit
//    mapping are a few per cent: a text without a percent sign is not expanded, and the readable
//    form of a missing path is found without upper-cased copies of the text.
//  - Before folders were listed, each existence test was a call of its own (~49,000 distinct
//    paths on this machine); now one listing answers for a folder's entries: ~12,000 calls in all,
//    5,000 of them the opens of shortcut files.
//  - The empty-key check walked HKEY_USERS a second time (category 9, ~95 ms). The File/Path walk
//    opens every key of that hive and enumerates its subkeys and values anyway: it now records
//    the empty keys it sees and the entries the empty-key walk would examine, and the check
//    (~40 ms) is mostly its 48,925 problems. A look at each recorded key again before it is
//    reported cost ~30 ms more (a second open of each), and a stale record can only be as old
//    as the scan, the age of everything else a scan reports; it was left out.
//  - The ~65,000 problems of the whole scan, each asked of the filter and stored, make most of
//    the rest. The filter cost ~10,000 instructions a problem (callgrind, the quarter machine):
//    the ignore list's 200 entries were read one by one for their hashes, a cache miss each (now
//    a bitmap of the hashes tells most problems they are in neither list); the owned areas parsed
//    twelve levels of every key and read their root's name through an upper-cased copy (now
//    only the levels an area names, and a root written in full is read as it stands); the
//    safe-list rows are looked for where a character some row begins with stands. That cut the
//    filter's instructions by a quarter and its first-level cache misses by two thirds; the
//    empty-key check, which is mostly its problems, went from ~40 to ~29 ms. An empty key's
//    problem held its key's path twice (the evidence named it again): the evidence now names
//    the problem's own key, and the scan's memory fell from 59.75 to 44.87 MiB.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench/scale_machine.h"
#include "engine/exclusion_lists.h"
#include "engine/registry_cleaner.h"
#include "engine/scan_driver.h"
#include "state/state_texts.h"

// ---- The heap, counted while a measurement asks for it ----

namespace {

std::atomic<bool> g_countHeap{false};
std::atomic<std::int64_t> g_heapBytes{0};  // in use, relative to when counting began
std::atomic<std::int64_t> g_heapPeak{0};

void* CountedAllocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  if (g_countHeap.load(std::memory_order_relaxed)) {
    const auto bytes = static_cast<std::int64_t>(malloc_usable_size(block));
    const std::int64_t now = g_heapBytes.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    std::int64_t peak = g_heapPeak.load(std::memory_order_relaxed);
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
  }
  return block;
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  if (g_countHeap.load(std::memory_order_relaxed)) {
    g_heapBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)),
                          std::memory_order_relaxed);
  }
  std::free(block);
}

// The peak of the heap in use while `work` runs, above what was in use when it began.
template <typename WORK>
std::int64_t HeapPeakOf(WORK&& work) {
  g_heapBytes.store(0);
  g_heapPeak.store(0);
  g_countHeap.store(true);
  work();
  g_countHeap.store(false);
  return g_heapPeak.load();
}

}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedAllocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedAllocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::size_t) noexcept { CountedFree(block); }

namespace qv::bench {
namespace {

// What the full scan of the full-size machine finds, by category, and how many entries it
// examines: the figures of the scan before its cost was taken out (commit 8f945fe's checks on
// this machine and lists). A change to the checks that changes them changes what is found.
constexpr std::array<std::uint64_t, kCategoryCount> kExpectedFound = {
    1281, 27, 699, 254, 19, 79, 1, 12022, 1808, 48925, 119};
constexpr std::uint64_t kExpectedItems = 1255622;

// How many times each machine is scanned and enumerated, in turns (the figures take the fastest).
constexpr int kRounds = 4;

// The user's ignore list: every this-many-th problem of a first scan, and as many entries for
// problems since repaired (which match nothing).
constexpr std::size_t kIgnoredEvery = 650;
constexpr int kRetiredIgnoreEntries = 100;

struct CMachine {
  CMemoryPlatform platform;
  SCALE_COUNTS counts;
  std::unique_ptr<CExclusionLists> lists;
};

void AddIgnoreList(CMachine& machine);

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
    AddIgnoreList(*g_machine);
    g_machineKeys = shape.keys;
  }
  return *g_machine;
}

// Counts what the scan reports and nothing else; cancels the scan when `cancelAt` entries were
// examined (0: never).
class CCountingSink final : public IScanSink {
 public:
  void OnScanStarted(CRegistryCleaner& engine) override { m_engine = &engine; }
  void OnEntryExamined(const std::wstring&) override {
    if (++items == cancelAt && m_engine != nullptr) {
      cancelledAt = std::chrono::steady_clock::now();
      m_engine->SetCancel(1);
    }
  }
  void OnProblemFound(CRegistryProblem& problem) override {
    ++problems;
    if (IsValidCategory(problem.type)) ++found[static_cast<std::size_t>(problem.type)];
  }
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
  std::array<std::uint64_t, kCategoryCount> found{};
  std::array<double, kCategoryCount> categorySeconds{};
  std::uint64_t cancelAt = 0;
  std::chrono::steady_clock::time_point cancelledAt;
  std::chrono::steady_clock::time_point returnedAt;  // when the scan's procedure returned

 private:
  CRegistryCleaner* m_engine = nullptr;
  std::chrono::steady_clock::time_point m_categoryStart;
};

// One full scan of the machine into `problems`; the engine is handed to `inspect` before it goes.
template <typename INSPECT>
double RunScan(CMachine& machine, CProblemList& problems, CCountingSink& sink, INSPECT&& inspect,
               bool countJudgedPaths = false) {
  CRegistryCleaner engine(machine.platform.platform(), problems, machine.lists.get(), nullptr);
  engine.Prepare(AllCategories());
  engine.CountJudgedPaths(countJudgedPaths);
  engine.SetNotifySink(&sink);
  SCAN_DRIVER_OPTIONS options;
  options.pacing = false;
  const auto start = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(ScanThreadProc(engine, options));
  sink.returnedAt = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(sink.returnedAt - start).count();
  inspect(engine);
  return seconds;
}

void AddIgnoreList(CMachine& machine) {
  CProblemList problems;
  CCountingSink sink;
  RunScan(machine, problems, sink, [](CRegistryCleaner&) {});
  for (std::size_t i = kIgnoredEvery / 2; i < problems.size(); i += kIgnoredEvery) {
    if (machine.lists->IgnoreProblem(*problems.At(i)) != kErrorSuccess) {
      std::fprintf(stderr, "scale bench: the ignore list could not be saved\n");
      std::exit(2);
    }
  }
  for (int i = 0; i < kRetiredIgnoreEntries; ++i) {
    const CRegistryProblem retired(
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Retired\\Product" + std::to_wstring(i), L"Path",
        L"C:\\Program Files\\Retired\\tool" + std::to_wstring(i) + L".exe", REGPROBLEM_FILE_PATH);
    if (machine.lists->IgnoreProblem(retired) != kErrorSuccess) std::exit(2);
  }
  machine.lists->LoadExclusionLists();  // as the program starts: the list read from its file
}

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
  std::array<std::uint64_t, kCategoryCount> found{};
  std::array<double, kCategoryCount> categorySeconds{};  // of the fastest scan
};
std::map<int, RESULT> g_results;  // by number of keys

void BM_Scan(benchmark::State& state, SCALE_SHAPE shape) {
  CMachine& machine = MachineOf(shape);
  for (auto _ : state) {
    CProblemList problems;
    CCountingSink sink;
    const double seconds = RunScan(machine, problems, sink, [](CRegistryCleaner&) {});
    RESULT& result = g_results[shape.keys];
    if (seconds < result.scanSeconds) result.categorySeconds = sink.categorySeconds;
    result.scanSeconds = std::min(result.scanSeconds, seconds);
    result.scanItems = sink.items;
    result.problems = sink.problems;
    result.found = sink.found;
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
  using namespace qv;
  using namespace qv::bench;
  const SCALE_SHAPE quarter = QuarterOf(kFullScale);
  // The scan and the bare enumeration of a machine take turns, so that a slower spell of a shared
  // machine falls on both rather than on the one that happened to run then.
  for (const auto& [name, shape] : {std::pair{"quarter", quarter}, std::pair{"full", kFullScale}}) {
    for (int round = 0; round < kRounds; ++round) {
      benchmark::RegisterBenchmark((std::string("scan/") + name).c_str(), BM_Scan, shape)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((std::string("bare/") + name).c_str(), BM_Bare, shape)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const RESULT& full = g_results[kFullScale.keys];
  const RESULT& small = g_results[quarter.keys];
  if (g_machine == nullptr) return 2;
  CMachine& machine = *g_machine;  // the full one
  const SCALE_COUNTS& c = machine.counts;
  std::printf("machine: %llu keys, %llu values, %llu empty keys, %llu files, %llu shortcuts; "
              "the full scan examined %llu entries and found %llu problems\n",
              static_cast<unsigned long long>(c.keys), static_cast<unsigned long long>(c.values),
              static_cast<unsigned long long>(c.emptyKeys), static_cast<unsigned long long>(c.files),
              static_cast<unsigned long long>(c.shortcuts),
              static_cast<unsigned long long>(full.scanItems),
              static_cast<unsigned long long>(full.problems));
  std::printf("full scan %.0f ms, bare enumeration %.0f ms; by category (ms):",
              full.scanSeconds * 1000.0, full.bareSeconds * 1000.0);
  for (int i = 0; i < qv::kCategoryCount; ++i) {
    std::printf(" %d=%.0f", i, full.categorySeconds[static_cast<std::size_t>(i)] * 1000.0);
  }
  std::printf("\nproblems by category:");
  for (int i = 0; i < qv::kCategoryCount; ++i) {
    std::printf(" %d=%llu", i, static_cast<unsigned long long>(full.found[static_cast<std::size_t>(i)]));
  }
  const bool same = full.found == kExpectedFound && full.scanItems == kExpectedItems;
  std::printf("\nproblems and entries examined: %s\n",
              same ? "the same as before" : "CHANGED (kExpectedFound, kExpectedItems)");

  // The heap: the bare enumeration's peak, then the scan's, each above the machine alone.
  const std::int64_t barePeak = HeapPeakOf([&] {
    CBareWalk walk(machine);
    walk.Keys(kHkeyLocalMachine, L"");
    walk.Keys(kHkeyUsers, L"");
    walk.Folders(L"C:");
  });
  qv::FILE_SYSTEM_CALLS calls;
  const std::int64_t scanPeak = HeapPeakOf([&] {
    CProblemList problems;
    CCountingSink sink;
    const qv::FILE_SYSTEM_CALLS before = machine.platform.files().Calls();
    RunScan(machine, problems, sink, [](CRegistryCleaner&) {});
    const qv::FILE_SYSTEM_CALLS after = machine.platform.files().Calls();
    calls = {after.existence - before.existence, after.listings - before.listings,
             after.drives - before.drives, after.other - before.other};
  });
  // The distinct paths judged, by a scan that counts them (the others do not: a scan has no use
  // for the figure, and counting costs a lookup per judgement).
  std::size_t judged = 0;
  {
    CProblemList problems;
    CCountingSink sink;
    RunScan(
        machine, problems, sink,
        [&](CRegistryCleaner& engine) { judged = engine.JudgedPathCount(); }, true);
  }

  // Cancelled when half the entries were examined: the longest of three.
  double cancelSeconds = 0;
  for (int round = 0; round < 3; ++round) {
    CProblemList problems;
    CCountingSink sink;
    sink.cancelAt = full.scanItems / 2;
    RunScan(machine, problems, sink, [](CRegistryCleaner&) {});
    cancelSeconds = std::max(
        cancelSeconds, std::chrono::duration<double>(sink.returnedAt - sink.cancelledAt).count());
  }

  std::printf("file-system calls by kind: %llu existence, %llu listings, %llu drive kinds, "
              "%llu other (opens of shortcut files)\n",
              static_cast<unsigned long long>(calls.existence),
              static_cast<unsigned long long>(calls.listings),
              static_cast<unsigned long long>(calls.drives),
              static_cast<unsigned long long>(calls.other));
  std::printf("scan/bare ratio: %.2f\n", full.scanSeconds / full.bareSeconds);
  std::printf("linearity: %.2f\n", full.scanSeconds / (4.0 * small.scanSeconds));
  std::printf("file-system calls: %llu for %llu judged paths (N/M %.2f)\n",
              static_cast<unsigned long long>(calls.Total()),
              static_cast<unsigned long long>(judged),
              judged == 0 ? 0.0 : static_cast<double>(calls.Total()) / static_cast<double>(judged));
  std::printf("scan memory MiB: %.2f\n", static_cast<double>(scanPeak - barePeak) / 1048576.0);
  std::printf("cancel latency ms: %.2f\n", cancelSeconds * 1000.0);
  std::printf("peak memory MiB: %.2f\n", PeakMemoryMiB());
  std::printf("items per second: %.2f\n", static_cast<double>(full.scanItems) / full.scanSeconds);
  return same ? 0 : 1;
}
