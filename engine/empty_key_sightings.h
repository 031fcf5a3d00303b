// What the File/Path walk of HKEY_USERS sees of the keys the empty-key check walks, kept for that
// check when one scan runs both, so the hive is read once. The File/Path walk opens every key of
// the hive and enumerates its subkeys and values anyway: it notes each key it found with neither
// (in the empty-key walk's order), each key it could not open (the empty-key walk asks for less
// access, so it walks that part itself), and how many entries the empty-key walk would have
// reported examined between them, so the progress the window shows moves as far as a walk of its
// own would move it.
//
// Touches nothing: the walks fill and read it; the engine keeps it for one scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

namespace qv {

struct EMPTY_KEY_SIGHTING {
  std::wstring path;  // the key, as shown (HKEY_USERS\...)
  // Entries the empty-key walk reports examined after the sighting before this one (or from its
  // start) and before it reaches this key.
  std::uint64_t examinedBefore = 0;
  // -1: the key was seen with neither subkeys nor values. Otherwise the File/Path walk could not
  // open it: the empty-key walk walks it, this many levels below HKEY_USERS.
  std::int32_t unopenedDepth = -1;
};

class CEmptyKeySightings {
 public:
  // A new record; the File/Path walk of HKEY_USERS is about to start.
  void Start() { Clear(); }
  // The walk has ended: whole when it was neither cancelled nor stopped at HKEY_USERS itself.
  void Finish(bool whole) { m_whole = whole; }
  void Clear() { *this = CEmptyKeySightings(); }
  // Whether a whole record is there to take the place of the empty-key walk.
  [[nodiscard]] bool Whole() const { return m_whole; }

  void CountExamined(std::uint64_t entries = 1) { m_examined += entries; }
  void SawEmpty(std::wstring_view path) { Add(path, -1); }
  void SawUnopened(std::wstring_view path, int depth) { Add(path, depth); }

  // The first sighting not taken yet, taken out into *seen (so the record shrinks as the check
  // turns sightings into problems); false when none is left.
  bool TakeFirst(EMPTY_KEY_SIGHTING* seen) {
    if (m_sightings.empty()) return false;
    *seen = std::move(m_sightings.front());
    m_sightings.pop_front();
    return true;
  }
  // Entries examined after the last sighting.
  [[nodiscard]] std::uint64_t ExaminedAfter() const { return m_examined; }

 private:
  void Add(std::wstring_view path, int depth) {
    m_sightings.push_back({std::wstring(path), m_examined, depth});
    m_examined = 0;
  }

  std::deque<EMPTY_KEY_SIGHTING> m_sightings;  // grows without copies, shrinks from the front
  std::uint64_t m_examined = 0;
  bool m_whole = false;
};

// The empty-key walk's rules of where it looks, shared by it and the File/Path walk's record:
//  - the subkeys of HKEY_USERS\.DEFAULT and of a classes key are counted as examined but not
//    entered (`display` is the key whose subkeys they are; its first `entered` characters show
//    a key the walk entered, 0 when none, so only the rest is searched for the marker);
//  - a key whose path names a classes key is never reported empty.
[[nodiscard]] bool EmptyKeyWalkPassesBelow(std::wstring_view display, std::size_t entered);
[[nodiscard]] bool MayBeReportedEmpty(std::wstring_view path);

}  // namespace qv
