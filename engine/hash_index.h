// An open-addressed table from 64-bit hashes to 32-bit values, for a scan's many lookups without
// a node or a key to chase per probe: one slot of 8 bytes is read per probe (a lookup's cost is
// the cache miss on its slot, so the slots are kept small). A slot holds the hash's upper half,
// its lower bits choose the slot; the whole hashes are kept apart, for growing. A hash is not a
// key: the caller tells which of the values filed under a hash is the one it looks for. Never
// more than half full; grows by doubling. Not for use by two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qv {

class CHashIndex {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;  // no value; never added

  // The first value filed under the hash for which matches(value) holds; kNone when there is none.
  template <typename MATCHES>
  [[nodiscard]] std::uint32_t Find(std::uint64_t hash, MATCHES matches) const {
    if (m_slots.empty()) return kNone;
    const std::uint32_t tag = Tag(hash);
    for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
      const SLOT& slot = m_slots[at];
      if (slot.value == kNone) return kNone;
      if (slot.tag == tag && matches(slot.value)) return slot.value;
    }
  }
  // Files the value (not kNone) under the hash.
  void Add(std::uint64_t hash, std::uint32_t value) {
    if ((m_count + 1) * 2 > m_slots.size()) Grow();
    Place(hash, {Tag(hash), value});
    ++m_count;
  }
  void Clear() {
    m_slots.clear();
    m_hashes.clear();
    m_mask = 0;
    m_count = 0;
  }
  [[nodiscard]] std::size_t Size() const { return m_count; }

 private:
  struct SLOT {
    std::uint32_t tag = 0;
    std::uint32_t value = kNone;  // kNone: the slot is free
  };
  static std::uint32_t Tag(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }
  void Place(std::uint64_t hash, const SLOT& slot) {
    std::size_t at = hash & m_mask;
    while (m_slots[at].value != kNone) at = (at + 1) & m_mask;
    m_slots[at] = slot;
    m_hashes[at] = hash;
  }
  void Grow() {
    std::vector<SLOT> old = std::move(m_slots);
    std::vector<std::uint64_t> oldHashes = std::move(m_hashes);
    m_slots.assign(old.empty() ? 4096 : old.size() * 2, SLOT{});
    m_hashes.assign(m_slots.size(), 0);
    m_mask = m_slots.size() - 1;
    for (std::size_t i = 0; i < old.size(); ++i) {
      if (old[i].value != kNone) Place(oldHashes[i], old[i]);
    }
  }

  std::vector<SLOT> m_slots;
  std::vector<std::uint64_t> m_hashes;  // each slot's whole hash, read only to grow
  std::size_t m_mask = 0;
  std::size_t m_count = 0;
};

}  // namespace qv
