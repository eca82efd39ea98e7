// Wiping of secrets. Every buffer that held a key, a derived key, a seed, a PIN, a password or a
// decrypted record is overwritten before its memory goes back to the allocator, on every path.
//
//  - SecureWipe: overwrite a range; the compiler may not drop it as a dead store.
//  - SecureBytes: a byte vector whose storage is wiped whenever it is released (also on growth).
//  - SecureString: a string whose storage, including the small in-object buffer, is wiped when it
//    is released or destroyed.
//  - WipeOnExit: wipes a caller-owned buffer when the scope ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

void SecureWipe(void* data, std::size_t size) noexcept;

template <class T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() noexcept = default;
  template <class U>
  WipingAllocator(const WipingAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
  void deallocate(T* p, std::size_t n) noexcept {
    SecureWipe(p, n * sizeof(T));
    std::allocator<T>{}.deallocate(p, n);
  }
  template <class U>
  bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
};

using SecureBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

class SecureString : public std::basic_string<char, std::char_traits<char>, WipingAllocator<char>> {
  using Base = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

 public:
  using Base::Base;
  SecureString() = default;
  SecureString(std::string_view text) : Base(text.data(), text.size()) {}
  SecureString(const SecureString&) = default;
  SecureString(SecureString&&) noexcept = default;
  SecureString& operator=(const SecureString&) = default;
  SecureString& operator=(SecureString&& other) noexcept {
    Wipe();
    Base::operator=(std::move(other));
    other.Wipe();
    return *this;
  }
  ~SecureString() { Wipe(); }

  // Overwrites the whole buffer (also the unused capacity) and empties the string.
  void Wipe() noexcept {
    SecureWipe(data(), capacity());
    clear();
  }
  std::string_view view() const noexcept { return {data(), size()}; }
};

class WipeOnExit {
 public:
  WipeOnExit(void* data, std::size_t size) noexcept : m_data(data), m_size(size) {}
  template <class Container>
  explicit WipeOnExit(Container& c) noexcept : m_data(c.data()), m_size(c.size() * sizeof(*c.data())) {}
  ~WipeOnExit() { SecureWipe(m_data, m_size); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  void* m_data;
  std::size_t m_size;
};

}  // namespace ov
