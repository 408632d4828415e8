// Sequential reader over one fuzz input.
//
// Every step of a run is read from the front: an opcode byte, then its
// arguments as fixed-width little-endian fields. A mutation then changes one
// step and leaves the rest of the script readable, and the seed files stay
// easy to write by hand (fuzz/make_seeds.py). Reading past the end yields
// zero bytes, so any input decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tarnix::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }

  uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
  int8_t I8() { return static_cast<int8_t>(U8()); }

  uint16_t U16() {
    uint16_t v = U8();
    return static_cast<uint16_t>(v | (U8() << 8));
  }

  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }

  uint64_t U64() {
    uint64_t low = U32();
    return low | (static_cast<uint64_t>(U32()) << 32);
  }

  // `count` raw bytes (zero-filled past the end).
  void Bytes(uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = U8();
  }

  // A length byte, then that many bytes, returned NUL-terminated in a buffer
  // of exactly length + 1 bytes so that any over-read is caught.
  std::vector<char> Text() {
    const std::size_t length = U8();
    std::vector<char> text(length + 1, '\0');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(U8());
    return text;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace tarnix::fuzz
