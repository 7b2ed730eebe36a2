// Little-endian byte helpers for the stand-in's wire code: appending and
// reading 32-bit integers, IEEE floats and fixed-width NUL-padded text.
// Everything on SimConnect's wire is little-endian and packed to 1 byte.
#ifndef VANTILO_STANDIN_WIRE_BYTES_H
#define VANTILO_STANDIN_WIRE_BYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

using Bytes = std::vector<std::uint8_t>;

void PutU32(Bytes& out, std::uint32_t value);
void PutF32(Bytes& out, float value);
void PutF64(Bytes& out, double value);
// Writes text cut to width - 1 bytes, then NULs up to width.
void PutText(Bytes& out, const std::string& text, std::size_t width);
// Overwrites 4 bytes at offset (used to patch a record's size).
void SetU32(Bytes& out, std::size_t offset, std::uint32_t value);

std::uint32_t GetU32(const std::uint8_t* at);
float GetF32(const std::uint8_t* at);
double GetF64(const std::uint8_t* at);
// Text up to the first NUL, or the whole field when it holds none.
std::string GetText(const std::uint8_t* at, std::size_t width);

std::uint32_t FloatBits(float value);
// "0x" and eight lower-case hex digits.
std::string Hex32(std::uint32_t value);

// Text from a client or a file made safe for a terminal or a log row: each
// control character becomes one '?': C0 (below 0x20) and DEL, and C1
// (U+0080 to U+009F) in UTF-8 or as a byte 0x80-0x9F of no UTF-8 sequence.
// So no escape sequence, tab or line break reaches the operator; other
// UTF-8 text is kept.
std::string Printable(const std::string& text);

}  // namespace standin

#endif
