// Little-endian encoding and decoding over byte vectors; floats travel as
// their IEEE bit patterns, copied with memcpy so alignment never matters.
#include "standin/bytes.h"

#include <cstdio>
#include <cstring>

namespace standin {

void PutU32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void PutF32(Bytes& out, float value) { PutU32(out, FloatBits(value)); }

void PutF64(Bytes& out, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  PutU32(out, static_cast<std::uint32_t>(bits));
  PutU32(out, static_cast<std::uint32_t>(bits >> 32));
}

void PutText(Bytes& out, const std::string& text, std::size_t width) {
  std::size_t length = text.size() < width ? text.size() : width - 1;
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
  out.insert(out.end(), width - length, 0);
}

void SetU32(Bytes& out, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::uint32_t GetU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

float GetF32(const std::uint8_t* at) {
  std::uint32_t bits = GetU32(at);
  float value = 0.0f;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double GetF64(const std::uint8_t* at) {
  std::uint64_t bits = GetU32(at) | static_cast<std::uint64_t>(GetU32(at + 4)) << 32;
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string GetText(const std::uint8_t* at, std::size_t width) {
  const void* nul = std::memchr(at, 0, width);
  std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - at) : width;
  return std::string(reinterpret_cast<const char*>(at), length);
}

std::uint32_t FloatBits(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::string Hex32(std::uint32_t value) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
  return text;
}

std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      c = '?';
    }
  }
  return out;
}

}  // namespace standin
