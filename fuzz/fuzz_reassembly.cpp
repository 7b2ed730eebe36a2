// Fuzz target for hostlink/net's record reassembly: an arbitrary server byte
// stream, cut by the input's trailer (fuzz_input.h), goes into a
// RecordSplitter piece by piece, and every record taken out is checked
// against a plain walk over the same bytes by their size words, then read
// as a first record is, for a refused Open and the simulator's name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "hostlink/net/negotiation.h"
#include "hostlink/net/reassembly.h"
#include "hostlink/net/wire.h"

namespace {

using vantilo_fuzz::ReadU32;
using vantilo_net::AlignedRecord;
using vantilo_net::RecordSplitter;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// A piece's length from its cut code: 0 to 239 bytes (0 is an empty
// append), or 4096 to 69632 bytes in steps of 4096 for codes from 240.
std::size_t PieceLength(std::uint8_t code) {
  return code < 240 ? code : static_cast<std::size_t>(code - 239) * 4096;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantilo_fuzz::StreamInput input = vantilo_fuzz::SplitStreamInput(data, size);
  RecordSplitter splitter;
  AlignedRecord record;
  vantilo_fuzz::SizeWordWalk expected(wire::kMinRecordBytes, wire::kMaxRecordBytes);
  std::size_t fed = 0;
  std::size_t delivered = 0;
  bool corrupt = false;

  bool cutting = false;  // codes of only zeros would never move on
  for (std::size_t i = 0; i < input.codeCount; ++i) {
    cutting = cutting || input.codes[i] != 0;
  }

  std::size_t piece = 0;
  do {
    std::size_t length = input.streamSize - fed;
    if (cutting) {
      std::size_t cut = PieceLength(input.codes[piece++ % input.codeCount]);
      length = cut < length ? cut : length;
    }
    splitter.Append(input.stream + fed, length);
    fed += length;
    expected.Advance(input.stream, fed);

    for (;;) {
      RecordSplitter::Status status = splitter.Next(&record);
      if (status == RecordSplitter::Status::kNeedMore) {
        Check(!corrupt);
        break;
      }
      if (status == RecordSplitter::Status::kCorrupt) {
        corrupt = true;  // final: nothing more is held or handed out
        Check(splitter.Pending() == 0);
        break;
      }
      Check(!corrupt);
      const std::uint32_t recordSize = record.Size();
      Check(recordSize >= wire::kMinRecordBytes);
      Check(recordSize <= wire::kMaxRecordBytes);
      Check(ReadU32(record.Bytes()) == recordSize);
      Check(reinterpret_cast<std::uintptr_t>(record.Data()) % 8 == 0);
      Check(delivered + recordSize <= fed);
      Check(std::memcmp(record.Bytes(), input.stream + delivered, recordSize) == 0);
      delivered += recordSize;
      vantilo_net::RefusesOpen(record.Bytes(), recordSize, 1);
      Check(vantilo_net::CameraNote(record.Bytes(), recordSize).size() < 512);
    }
    // Records come out as soon as their last byte is in, corruption as soon
    // as the bad size word is.
    Check(delivered == expected.end());
    Check(corrupt == expected.corrupt());
    if (!corrupt) {
      Check(splitter.Pending() == fed - delivered);
    }
  } while (fed < input.streamSize);
  return 0;
}
