// One move-only RAII template for every handle kind (registry keys, files, COM pointers...).
// A traits type names the empty value and how to close:
//
//   struct CFooTraits {
//     using Handle = FOO;
//     static constexpr Handle Invalid() { return nullptr; }
//     void Close(Handle h) noexcept;   // may carry state (for example the owning registry)
//   };
//
// Nothing is closed by hand on a return path: reset() or the destructor does it.
#pragma once

#include <utility>

namespace qv {

template <typename Traits>
class CUniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  CUniqueHandle() noexcept = default;
  explicit CUniqueHandle(Handle h, Traits traits = Traits()) noexcept
      : m_handle(h), m_traits(std::move(traits)) {}
  ~CUniqueHandle() { reset(); }

  CUniqueHandle(const CUniqueHandle&) = delete;
  CUniqueHandle& operator=(const CUniqueHandle&) = delete;

  CUniqueHandle(CUniqueHandle&& other) noexcept
      : m_handle(other.release()), m_traits(std::move(other.m_traits)) {}
  CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      m_traits = std::move(other.m_traits);
      m_handle = other.release();
    }
    return *this;
  }

  [[nodiscard]] Handle get() const noexcept { return m_handle; }
  [[nodiscard]] bool valid() const noexcept { return m_handle != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Gives up ownership without closing.
  [[nodiscard]] Handle release() noexcept { return std::exchange(m_handle, Traits::Invalid()); }

  // Closes the held handle (if any) and takes the new one.
  void reset(Handle h = Traits::Invalid()) noexcept {
    Handle old = std::exchange(m_handle, h);
    if (old != Traits::Invalid()) m_traits.Close(old);
  }

  // For out-parameters: closes the held handle and returns the address to write the new one to.
  [[nodiscard]] Handle* put() noexcept {
    reset();
    return &m_handle;
  }

  Traits& traits() noexcept { return m_traits; }
  const Traits& traits() const noexcept { return m_traits; }

 private:
  Handle m_handle = Traits::Invalid();
  Traits m_traits{};
};

}  // namespace qv
