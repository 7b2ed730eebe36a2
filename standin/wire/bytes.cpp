// Little-endian encoding and decoding over byte vectors; floats travel as
// their IEEE bit patterns, copied with memcpy so alignment never matters.
#include "standin/wire/bytes.h"

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

namespace {

// Length of the well-formed UTF-8 sequence of two to four bytes that starts
// at text[at], or 0. The program's own is in control/camera_controller.cpp;
// kept apart on purpose: the stand-in links none of the program's code.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t count = 0;
  unsigned char low = 0x80;  // the second byte's range, narrower after some leads
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    count = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    count = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    count = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  }
  if (count == 0 || text.size() - at < count || byte(at + 1) < low || byte(at + 1) > high) {
    return 0;
  }
  for (std::size_t i = 2; i < count; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
      return 0;
    }
  }
  return count;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    const std::size_t sequence = Utf8SequenceAt(text, at);
    if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F)) {
      out += '?';  // 0x80-0x9F here starts no sequence: those are taken whole
      at += 1;
    } else if (sequence == 2 && byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F) {
      out += '?';  // C1 in UTF-8
      at += 2;
    } else {
      const std::size_t taken = sequence > 0 ? sequence : 1;
      out.append(text, at, taken);
      at += taken;
    }
  }
  return out;
}

}  // namespace standin
