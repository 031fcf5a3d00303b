// An in-memory machine at the scale of a real desktop: the registry of a default 64-bit Windows 11
// installation with Office (about 700,000 keys, 1.2 million values, 70,000 of the keys empty) and
// a system drive of 300,000 files with 5,000 shortcuts, for the scan benchmarks.
//
// The registry has the areas the checks look into, at realistic sizes (COM classes, ProgIDs and
// file extensions, uninstall entries, fonts, shared DLLs, application paths, help files, Run
// entries and menu-order entries), inside a wide tree of vendor, product, system and user keys.
// It is a 64-bit Windows: a quarter of the classes, a third of the uninstall entries and shared
// DLLs, some Run entries and a tenth of the generic keys lie in the 32-bit registry view.
// Values mix file references (one in twelve to a file that is gone), command lines, class
// identifiers, short and long texts, expandable paths, numbers, binaries and string lists.
// Everything comes from one seeded generator: the same shape gives the same machine.
#pragma once

#include <cstdint>

#include "platform/memory/memory_platform.h"

namespace qv::bench {

struct SCALE_SHAPE {
  int keys = 0;
  int values = 0;
  int emptyKeys = 0;
  int files = 0;
  int shortcuts = 0;
};

inline constexpr SCALE_SHAPE kFullScale{700000, 1200000, 70000, 300000, 5000};

[[nodiscard]] constexpr SCALE_SHAPE QuarterOf(const SCALE_SHAPE& shape) {
  return SCALE_SHAPE{shape.keys / 4, shape.values / 4, shape.emptyKeys / 4, shape.files / 4,
                     shape.shortcuts / 4};
}

// What was made (the registry's predefined keys come on top).
struct SCALE_COUNTS {
  std::uint64_t keys = 0;
  std::uint64_t values = 0;
  std::uint64_t emptyKeys = 0;
  std::uint64_t files = 0;
  std::uint64_t folders = 0;
  std::uint64_t shortcuts = 0;
};

[[nodiscard]] SCALE_COUNTS BuildScaleMachine(CMemoryPlatform& machine, const SCALE_SHAPE& shape,
                                             std::uint32_t seed = 20261208);

}  // namespace qv::bench
