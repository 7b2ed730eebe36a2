// Cuts the server's byte stream into whole records by the size word each
// record starts with. Pure (no sockets), so it can be tested at every split
// point and fuzzed. Each record comes out in its own 8-byte-aligned buffer.
#ifndef VANTILO_HOSTLINK_NET_REASSEMBLY_H
#define VANTILO_HOSTLINK_NET_REASSEMBLY_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hostlink/net/wire.h"

namespace vantilo_net {

// The little-endian word at bytes, whatever the host's byte order.
inline std::uint32_t ReadU32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// One whole record, held in 64-bit words so its first byte is 8-byte aligned.
class AlignedRecord {
 public:
  void Assign(const std::uint8_t* bytes, std::uint32_t size);
  void* Data() { return words_.data(); }
  const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(words_.data()); }
  std::uint32_t Size() const { return size_; }

 private:
  std::vector<std::uint64_t> words_;
  std::uint32_t size_ = 0;
};

class RecordSplitter {
 public:
  enum class Status { kRecord, kNeedMore, kCorrupt };

  // Adds bytes read from the stream.
  void Append(const std::uint8_t* bytes, std::size_t count);
  // Takes the next whole record out into *record (kRecord), or says that
  // more bytes are needed or that the stream is corrupt (a size outside
  // wire::kMinRecordBytes..wire::kMaxRecordBytes). Corrupt is final.
  Status Next(AlignedRecord* record);
  // Bytes held that do not yet make a whole record.
  std::size_t Pending() const { return buffer_.size() - start_; }

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0;  // first byte not yet handed out
  bool corrupt_ = false;
};

}  // namespace vantilo_net

#endif
