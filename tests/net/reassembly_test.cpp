// The record splitter: the records of a stream however it is cut, and the
// sizes that mark a stream corrupt.
#include "hostlink/net/reassembly.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

#include "tests/support/bytes.h"

using support::Bytes;
using support::FromHex;
using support::Record;
using vantilo_net::AlignedRecord;
using vantilo_net::RecordSplitter;
using Status = RecordSplitter::Status;

namespace {

// OPEN (308), EVENT (24), SIMOBJECT_DATA with two doubles (56), QUIT (12).
std::vector<Bytes> SampleRecords() {
  Bytes open = {'S', 'i', 'm'};
  open.resize(296);
  std::iota(open.begin() + 256, open.end(), 0);  // 0, 1, ... after the name
  const Bytes event = FromHex("ffffffff 02000000 07000000");
  Bytes data = FromHex(
      "01000000 01000000 00000000 00000000 01000000 01000000 02000000"
      "9a9999999999b93f 000000000000e03f");
  return {Record(2, open), Record(4, event), Record(8, data), Record(3, Bytes())};
}

// Takes out every whole record, checking alignment on the way; returns
// what the splitter said after the last one.
Status Drain(RecordSplitter* splitter, std::vector<Bytes>* out) {
  AlignedRecord record;
  Status status;
  while ((status = splitter->Next(&record)) == Status::kRecord) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(record.Data()) % 8, 0u);
    out->push_back(Bytes(record.Bytes(), record.Bytes() + record.Size()));
  }
  return status;
}

// A stream: whole records, then a tail, and what the splitter says after
// the records: kNeedMore, or kCorrupt for a size outside 12..65536.
struct StreamRow {
  const char* name;
  std::vector<Bytes> records;
  Bytes tail;
  Status end;
};

std::vector<StreamRow> StreamRows() {
  const Bytes quit = Record(3, Bytes());
  return {
      {"sample records", SampleRecords(), {}, Status::kNeedMore},
      {"smallest and largest", {quit, Record(8, Bytes(65536 - 12, 0xAB))}, {}, Status::kNeedMore},
      {"size 0", {}, FromHex("00000000"), Status::kCorrupt},
      {"size 4", {}, FromHex("04000000"), Status::kCorrupt},
      {"size 11", {}, FromHex("0b000000"), Status::kCorrupt},
      {"size 65537", {}, FromHex("01000100"), Status::kCorrupt},
      {"size 0xFFFFFFFF", {}, FromHex("ffffffff"), Status::kCorrupt},
      {"a record before size 8", {quit}, FromHex("08000000"), Status::kCorrupt},
  };
}

// Each stream fed whole, in two pieces cut at every point (at most about
// 1024 points, evenly spread, in the largest), and a byte at a time: the
// same records come out whole, aligned and in order; until the last byte
// is in the splitter wants more (a bad size is corrupt once its whole word
// has come), and corrupt stays corrupt.
TEST(Reassembly, EachStreamGivesItsRecordsHoweverItIsCut) {
  for (const StreamRow& row : StreamRows()) {
    const Bytes stream = support::Join({support::Join(row.records), row.tail});
    std::vector<std::size_t> byteByByte(stream.size());  // where each piece ends
    std::iota(byteByByte.begin(), byteByByte.end(), 1);
    std::vector<std::vector<std::size_t>> feeds = {{stream.size()}, byteByByte};
    for (std::size_t cut = 0; cut <= stream.size(); cut += 1 + stream.size() / 1024) {
      feeds.push_back({cut, stream.size()});
    }
    for (const std::vector<std::size_t>& ends : feeds) {
      SCOPED_TRACE(::testing::Message() << row.name << ", pieces ending at " << ends[0] << "...");
      RecordSplitter splitter;
      std::vector<Bytes> out;
      std::size_t fed = 0;
      for (std::size_t end : ends) {
        splitter.Append(stream.data() + fed, end - fed);
        fed = end;
        const Status status = Drain(&splitter, &out);
        ASSERT_EQ(status, fed < stream.size() ? Status::kNeedMore : row.end);
      }
      EXPECT_EQ(out, row.records);
      if (row.end == Status::kNeedMore) {
        EXPECT_EQ(splitter.Pending(), 0u);
      } else {
        const Bytes good = Record(3, Bytes());
        splitter.Append(good.data(), good.size());
        EXPECT_EQ(Drain(&splitter, &out), Status::kCorrupt);
      }
    }
  }
}

}  // namespace
