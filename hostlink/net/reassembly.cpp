// Record reassembly: bytes accumulate in one buffer; whole records are
// copied out from its front, and the consumed front is dropped when it
// grows large, so the buffer stays about the size of one read.
#include "hostlink/net/reassembly.h"

#include <cstring>

namespace vantilo_net {

void AlignedRecord::Assign(const std::uint8_t* bytes, std::uint32_t size) {
  words_.assign((size + 7u) / 8u, 0);
  if (size > 0) {
    std::memcpy(words_.data(), bytes, size);
  }
  size_ = size;
}

void RecordSplitter::Append(const std::uint8_t* bytes, std::size_t count) {
  if (corrupt_ || count == 0) {
    return;
  }
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + count);
}

RecordSplitter::Status RecordSplitter::Next(AlignedRecord* record) {
  if (corrupt_) {
    return Status::kCorrupt;
  }
  if (Pending() < 4) {
    return Status::kNeedMore;
  }
  const std::uint8_t* front = &buffer_[start_];
  const std::uint32_t size = ReadU32(front);
  if (size < wire::kMinRecordBytes || size > wire::kMaxRecordBytes) {
    corrupt_ = true;
    buffer_.clear();
    start_ = 0;
    return Status::kCorrupt;
  }
  if (Pending() < size) {
    return Status::kNeedMore;
  }
  record->Assign(front, size);
  start_ += size;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  return Status::kRecord;
}

}  // namespace vantilo_net
