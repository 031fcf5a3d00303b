// Category 7 (File/Path References): the walk of the whole of HKEY_LOCAL_MACHINE and
// HKEY_USERS. When the same scan looks for empty keys, its walk of HKEY_USERS also records what
// the empty-key check needs (CEmptyKeySightings), so that hive is read once.
//
// It opens every key without following registry links (REG_OPTION_OPEN_LINK): a link opens as
// the key it is, with its one REG_LINK value and no subkeys, so the walk never leaves the hive it
// walks through a link, never visits a tree twice, and never loops through a link to an
// ancestor. A link's REG_LINK value is no string value and is never judged. The walk descends no
// more than kMaxRegistryDepth levels below where it starts, and a key or value whose name holds
// a NUL character is passed over with a log line (opened by its name as text it would be the
// parent again, and the walk would never end).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "engine/check_support.h"
#include "engine/checks.h"
#include "engine/empty_key_sightings.h"
#include "engine/hash_index.h"
#include "engine/key_naming.h"
#include "engine/path_references.h"
#include "engine/registry_cleaner.h"

namespace qv {
namespace {

// Whether the key (shown as its full path) is an uninstall key, whose subkeys are the entries of
// installed programs: ...\Microsoft\Windows\CurrentVersion\Uninstall in any hive and view.
bool IsUninstallKey(std::wstring_view display) {
  constexpr std::wstring_view kUninstallTail = L"\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  constexpr std::size_t kLastNameChars = std::wstring_view(L"\\Uninstall").size();
  // (Most keys fail at their last character or at the backslash before their last name: only
  // 'l' is 'L' in upper case, and no case changes a backslash.)
  return display.size() >= kUninstallTail.size() &&
         (display.back() == L'l' || display.back() == L'L') &&
         display[display.size() - kLastNameChars] == L'\\' &&
         EqualsNoCase(display.substr(display.size() - kUninstallTail.size()), kUninstallTail);
}

// Texts, as their bytes, by their fingerprints in a CHashIndex: two independent hashes of a text
// (the index's 64-bit hash, of which a slot keeps the upper half and the lower bits choose the
// slot, and a 31-bit check as the value), so a lookup reads one slot of 8 bytes and no text. (A
// table of strings costs a bucket, a node and the string's storage, each a cache miss, for every
// value the walk reads; keeping the bytes costs one miss more for the compare.)
// A text taken for another keeps its value, never loses it. Holds at most kLimit texts; Add does
// nothing beyond that.
class CTextSet {
 public:
  static constexpr std::size_t kLimit = 1 << 16;

  [[nodiscard]] bool Contains(std::string_view bytes) const {
    const PRINT print = Fingerprint(bytes);
    return m_index.Find(print.hash, [&print](std::uint32_t value) {
             return value == print.check;
           }) != CHashIndex::kNone;
  }
  [[nodiscard]] bool Full() const { return m_index.Size() >= kLimit; }
  // Adds a text not held yet (not empty).
  void Add(std::string_view bytes) {
    if (Full() || bytes.empty()) return;
    const PRINT print = Fingerprint(bytes);
    m_index.Add(print.hash, print.check);
  }

 private:
  struct PRINT {
    std::uint64_t hash;
    std::uint32_t check;  // below 2^31, so never the index's kNone
  };
  // Both hashes in one pass over the bytes, eight at a time: two chains of multiplications with
  // their own constants, which the processor computes side by side.
  static PRINT Fingerprint(std::string_view bytes) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    std::uint64_t check = 0x243F6A8885A308D3ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + i, 8);
      hash = (hash ^ word) * 0x9FB21C651E98DF25ULL;
      hash ^= hash >> 29;
      check = (check ^ word) * 0xFF51AFD7ED558CCDULL;
      check ^= check >> 32;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    hash = (hash ^ tail) * 0xD6E8FEB86659FD93ULL;
    hash ^= hash >> 32;
    hash *= 0xD6E8FEB86659FD93ULL;
    hash ^= hash >> 32;
    check = (check ^ tail) * 0xC4CEB9FE1A85EC53ULL;
    check ^= check >> 29;
    return {hash, static_cast<std::uint32_t>(check >> 33)};
  }

  CHashIndex m_index;
};

// The File/Path walk, with its buffers shared by every key it visits.
class CFileReferenceWalk {
 public:
  explicit CFileReferenceWalk(CRegistryCleaner& engine)
      : m_engine(engine),
        m_registry(engine.Platform().registry),
        m_keyName(kWalkKeyNameChars + 1, L'\0'),
        m_valueName(kCheckValueNameChars + 1, L'\0'),
        m_data(kWalkValueDataBytes + 2, 0) {}

  // Walks parent\name (the empty name: parent itself), shown as `display`, whose values a
  // program of the registry view reads, `depth` levels below where the walk began. Each key is
  // opened below its parent's open handle, so an open costs one lookup, not one per level of its
  // path; it is the same key with the same access the full path from the root would open. The
  // values of a key in an uninstall entry (`inUninstallEntry`) are left to the uninstall check.
  void Walk(RegHandle parent, std::wstring_view name, std::wstring_view display,
            REGISTRY_VIEW view, int depth) {
    m_display.assign(display);
    WalkKey(parent, name, view, depth, false, false);
  }

  // The walk of all of HKEY_USERS, recording for the empty-key check into `sightings`.
  void WalkUsers(CEmptyKeySightings& sightings) {
    sightings.Start();
    m_sightings = &sightings;
    m_display.assign(kHkeyUsersName);
    const bool opened = WalkKey(kHkeyUsers, L"", VIEW_64BIT, 0, false, true);
    m_sightings = nullptr;
    sightings.Finish(opened && !m_engine.IsCancelled());
  }

 private:
  // The walk of the key m_display shows: m_display is the same again when it returns (each
  // subkey's path is appended to it and taken off again, so no key's path is made anew). False
  // when the key could not be opened. `forEmptyKeys`: the empty-key walk enters this key, and
  // what the walk sees of it goes into m_sightings.
  bool WalkKey(RegHandle parent, std::wstring_view name, REGISTRY_VIEW view, int depth,
               bool inUninstallEntry, bool forEmptyKeys) {
    m_engine.ReportEntryExamined(m_display);
    CRegKey key(m_registry);
    if (key.OpenNoFollow(parent, name, kKeyAllAccess) != kErrorSuccess) {
      if (forEmptyKeys) m_sightings->SawUnopened(m_display, depth);
      return false;
    }
    if (m_engine.ShouldStop()) return true;

    const std::size_t displayChars = m_display.size();
    const bool uninstallEntries = inUninstallEntry || IsUninstallKey(m_display);
    // The empty-key walk counts every subkey of this key as examined, and enters none of them.
    const bool emptyKeysPassBelow =
        forEmptyKeys &&
        EmptyKeyWalkPassesBelow(m_display, name.empty() ? 0 : m_display.size() - name.size() - 1);
    bool anySubkey = false;
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t chars = kWalkKeyNameChars;
      const ErrorCode rc = m_registry.EnumKey(key.get(), index, m_keyName.data(), &chars);
      if (EndsEnumeration(rc)) break;
      anySubkey = true;
      if (forEmptyKeys) m_sightings->CountExamined();
      if (rc == kErrorSuccess) {
        // The name stays in m_keyName until the subkey is open, all WalkKey reads of it.
        const std::wstring_view child(m_keyName.data(), chars);
        if (PassOverNulName(m_engine, m_display, child)) continue;
        if (AtDepthLimit(m_engine, depth + 1, m_display)) {
          if (emptyKeysPassBelow) m_sightings->CountExamined(SubkeysFrom(key.get(), index + 1));
          break;
        }
        // A key named Wow6432Node is the 32-bit view of what lies around it: everything below it
        // is read by 32-bit programs.
        const REGISTRY_VIEW childView = IsWow64Node(child) ? VIEW_32BIT : view;
        m_display += L'\\';
        m_display += child;
        static_cast<void>(WalkKey(key.get(), child, childView, depth + 1, uninstallEntries,
                                  forEmptyKeys && !emptyKeysPassBelow));
        m_display.resize(displayChars);
      }
      if (m_engine.ShouldStop()) return true;
    }

    // An uninstall entry is repaired whole by the uninstall check, which judges its uninstall
    // command: deleting its other values one by one would leave Windows listing the program with
    // an uninstall button that no longer works.
    bool anyValue = false;
    for (std::uint32_t index = 0; !inUninstallEntry; ++index) {
      std::uint32_t nameChars = kCheckValueNameChars;
      std::uint32_t dataBytes = kWalkValueDataBytes;
      std::uint32_t type = kRegNone;
      const ErrorCode rc = m_registry.EnumValue(key.get(), index, m_valueName.data(), &nameChars,
                                                &type, m_data.data(), &dataBytes);
      if (EndsEnumeration(rc)) break;
      anyValue = true;
      if (rc == kErrorSuccess && dataBytes > kFileReferenceMinBytes &&
          (type == kRegSz || type == kRegExpandSz)) {
        const std::wstring_view valueName(m_valueName.data(), nameChars);
        if (!PassOverNulName(m_engine, m_display, valueName)) {
          Judge(m_display, valueName, dataBytes, view);
        }
      }
      if (m_engine.ShouldStop()) return true;
    }
    // A hive itself is never an empty key.
    if (forEmptyKeys && !anySubkey && !anyValue && depth > 0 && MayBeReportedEmpty(m_display) &&
        (!inUninstallEntry || HoldsNoValues(key.get()))) {
      m_sightings->SawEmpty(m_display);
    }
    return true;
  }

  // Whether the key holds no values, by its own count (for a key whose values are not read).
  bool HoldsNoValues(RegHandle key) {
    std::uint32_t subkeys = 0;
    std::uint32_t values = 0;
    return m_registry.QueryInfoKey(key, &subkeys, &values) == kErrorSuccess && values == 0;
  }

  // How many subkeys the key's enumeration gives from `index` on.
  std::uint64_t SubkeysFrom(RegHandle key, std::uint32_t index) {
    std::uint64_t count = 0;
    for (;; ++index, ++count) {
      std::uint32_t chars = kWalkKeyNameChars;
      if (EndsEnumeration(m_registry.EnumKey(key, index, m_keyName.data(), &chars))) return count;
    }
  }

  void Judge(const std::wstring& display, std::wstring_view name, std::uint32_t dataBytes,
             REGISTRY_VIEW view) {
    // Only a drive path (x:\...) is ever judged missing, and only an environment variable or a
    // placeholder (both written with a percent sign) can bring a drive into a text: text without
    // a colon and without a percent sign is a valid reference, whatever else it holds.
    std::string_view bytes;
    if (!MayNameADrivePath(dataBytes, &bytes)) return;
    // A registry holds the same reference in many values (a library every class of it names, a
    // program's resource strings): a text judged to keep its value (it names what is there, or
    // only what Windows or an installed program would make) does so for the rest of the walk, as
    // the drive's answers are remembered for the scan. Texts are remembered as the
    // value's bytes, so a repeated one is known before it is read as text.
    CTextSet& kept = m_kept[view == VIEW_32BIT];
    if (kept.Contains(bytes)) return;
    FixedBufferTextInto(m_data.data(), dataBytes, kWalkValueDataBytes, &m_text);
    const REFERENCE_JUDGEMENT reference = m_engine.JudgeReference(m_text, view);
    m_engine.PassOver(REGPROBLEM_FILE_PATH, display, name, reference.reading.named, reference);
    if (!reference.missing) {
      if (!IsPassedOver(reference.passedOver) && m_engine.DriveAnswersRemembered()) {
        kept.Add(bytes);
      }
      return;
    }
    // Every path the value names is missing. One in the Windows folder is Windows' own, and one
    // whose nearest existing folder is a program's own that still holds a program belongs to a
    // program that is installed (a file or folder it makes on first use): either keeps the value.
    PROBLEM_EVIDENCE evidence;
    for (const std::wstring& missing : reference.missingPaths) {
      const std::wstring readable = m_engine.ReadablePath(missing, reference.reading.named, view);
      const MISSING_PATH where = m_engine.JudgeMissingPath(readable);
      if (where.standing == MISSING_PATH_STANDING::kWindows ||
          where.standing == MISSING_PATH_STANDING::kProgramFolder) {
        if (m_engine.DriveAnswersRemembered()) kept.Add(bytes);
        return;
      }
      if (evidence.kind == EVIDENCE_NONE) evidence = MissingPathEvidence(readable, where);
    }
    AddProblemWithEvidence(m_engine, display, std::wstring(name), reference.reading.named,
                           REGPROBLEM_FILE_PATH, std::move(evidence));
  }

  // Whether the value's text (its UTF-16LE units up to the first NUL) holds a colon or a percent
  // sign; if so *bytes receives the bytes FixedBufferText reads as the text: up to the first NUL
  // unit, and one unit short of the buffer when it holds none.
  [[nodiscard]] bool MayNameADrivePath(std::uint32_t dataBytes, std::string_view* bytes) const {
    const std::uint8_t* data = m_data.data();
    // The first colon or percent sign that is a whole unit (most texts hold neither: the bytes
    // are searched, not the units), then no NUL unit before it.
    std::size_t first = dataBytes;
    for (const int mark : {':', '%'}) {
      const std::uint8_t* from = data;
      while (from < data + first) {
        const auto* at = static_cast<const std::uint8_t*>(
            std::memchr(from, mark, static_cast<std::size_t>(data + first - from)));
        if (at == nullptr) break;
        const auto position = static_cast<std::size_t>(at - data);
        if (position % 2 == 0 && position + 1 < dataBytes && data[position + 1] == 0) {
          first = position;
          break;
        }
        from = at + 1;
      }
    }
    if (first >= dataBytes) return false;
    const std::size_t units = dataBytes / 2;  // whole units
    std::size_t textUnits = FirstNulUnit(data, units);
    if (textUnits < first / 2) return false;  // the mark lies beyond the text
    constexpr std::size_t kCapacityUnits = kWalkValueDataBytes / 2;
    if (textUnits == units && units >= kCapacityUnits) textUnits = kCapacityUnits - 1;
    *bytes = {reinterpret_cast<const char*>(data), textUnits * 2};
    return true;
  }

  // The index of the first NUL among the first `units` UTF-16LE units of the data (`units` when
  // there is none), four units to a 64-bit word at a time.
  static std::size_t FirstNulUnit(const std::uint8_t* data, std::size_t units) {
    static_assert(std::endian::native == std::endian::little, "a word's first unit is its low one");
    constexpr std::uint64_t kOnes = 0x0001000100010001ULL;
    constexpr std::uint64_t kHighs = 0x8000800080008000ULL;
    std::size_t at = 0;
    for (; at + 4 <= units; at += 4) {
      std::uint64_t word;
      std::memcpy(&word, data + at * 2, 8);
      // The lowest set bit of this marks the first zero unit of the word (a borrow can mark
      // units above it, never one below).
      const std::uint64_t zero = (word - kOnes) & ~word & kHighs;
      if (zero != 0) return at + static_cast<std::size_t>(std::countr_zero(zero)) / 16;
    }
    for (; at < units; ++at) {
      if ((data[at * 2] | data[at * 2 + 1]) == 0) return at;
    }
    return units;
  }

  CRegistryCleaner& m_engine;
  IRegistry& m_registry;
  std::wstring m_display;  // the path of the key being walked, as it is shown
  std::wstring m_keyName;
  std::wstring m_valueName;
  std::vector<std::uint8_t> m_data;
  std::wstring m_text;  // the value's data as text
  // The texts judged to keep their values (as their bytes), by view (the 64-bit one first): at
  // most CTextSet::kLimit of each, so a registry of many different references holds no more.
  CTextSet m_kept[2];
  CEmptyKeySightings* m_sightings = nullptr;  // while HKEY_USERS is walked for the empty-key check
};

}  // namespace

void CheckFileReferences(CRegistryCleaner& engine) {
  CFileReferenceWalk walk(engine);
  walk.Walk(kHkeyLocalMachine, L"", kHkeyLocalMachineName, VIEW_64BIT, 0);
  if (engine.ScanCategory(REGPROBLEM_EMPTY_KEY)) {
    walk.WalkUsers(engine.EmptyKeySightings());
  } else {
    walk.Walk(kHkeyUsers, L"", kHkeyUsersName, VIEW_64BIT, 0);
  }
}

void WalkFileReferences(CRegistryCleaner& engine, RegHandle root, std::wstring_view subkey,
                        std::wstring_view display) {
  CFileReferenceWalk(engine).Walk(root, subkey, display,
                                  PassesWow64Node(subkey) ? VIEW_32BIT : VIEW_64BIT, 0);
}

}  // namespace qv
