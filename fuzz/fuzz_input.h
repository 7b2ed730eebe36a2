// What the stream targets share. Their input: the stream itself, then a
// trailer of cut codes, then one byte giving the trailer's length (low four
// bits); the codes are used in turn, over and over, to cut the stream into
// the pieces the code under test receives. And the reference framing walk.
#ifndef VANTILO_FUZZ_FUZZ_INPUT_H
#define VANTILO_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>

namespace vantilo_fuzz {

struct StreamInput {
  const std::uint8_t* stream = nullptr;
  std::size_t streamSize = 0;
  const std::uint8_t* codes = nullptr;
  std::size_t codeCount = 0;  // 0: the stream arrives in one piece
};

inline StreamInput SplitStreamInput(const std::uint8_t* data, std::size_t size) {
  StreamInput input;
  input.stream = data;
  if (size == 0) {
    return input;
  }
  std::size_t count = data[size - 1] & 0x0Fu;
  if (count > size - 1) {
    count = size - 1;
  }
  input.streamSize = size - 1 - count;
  input.codes = data + input.streamSize;
  input.codeCount = count;
  return input;
}

// Little-endian 32-bit word, read byte by byte (any alignment).
inline std::uint32_t ReadU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// A plain walk over a stream of size-prefixed units (records or packets):
// after `fed` bytes, where the last whole unit ends, and whether a size word
// outside [minSize, maxSize] has been seen (a framer must stop there).
class SizeWordWalk {
 public:
  SizeWordWalk(std::uint32_t minSize, std::uint32_t maxSize) : min_(minSize), max_(maxSize) {}

  void Advance(const std::uint8_t* stream, std::size_t fed) {
    while (!corrupt_ && fed - end_ >= 4) {
      const std::uint32_t size = ReadU32(stream + end_);
      if (size < min_ || size > max_) {
        corrupt_ = true;
      } else if (fed - end_ >= size) {
        end_ += size;
      } else {
        break;
      }
    }
  }
  // Whether `at` lies inside the unit that starts at end(): past its size
  // word, before its end (the size word read from stream, fed or not).
  bool InsideUnit(const std::uint8_t* stream, std::size_t at) const {
    if (corrupt_ || at < end_ + 4) {
      return false;
    }
    const std::uint32_t size = ReadU32(stream + end_);
    return size >= min_ && size <= max_ && at - end_ < size;
  }
  std::size_t end() const { return end_; }
  bool corrupt() const { return corrupt_; }

 private:
  std::uint32_t min_;
  std::uint32_t max_;
  std::size_t end_ = 0;
  bool corrupt_ = false;
};

}  // namespace vantilo_fuzz

#endif
