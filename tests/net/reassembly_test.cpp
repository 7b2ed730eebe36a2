// The record splitter: a stream of several records cut at every point, or
// fed a byte at a time, gives back the same records, whole, aligned and in
// order; sizes outside 12..65536 mark the stream corrupt.
#include "hostlink/net/reassembly.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/bytes.h"

using support::Bytes;
using support::Record;
using vantilo_net::AlignedRecord;
using vantilo_net::RecordSplitter;

namespace {

// OPEN (308), EVENT (24), SIMOBJECT_DATA with two doubles (56), QUIT (12).
std::vector<Bytes> SampleRecords() {
  Bytes open(296, 0);
  open[0] = 'S';
  open[1] = 'i';
  open[2] = 'm';
  for (std::size_t i = 256; i < open.size(); ++i) {
    open[i] = static_cast<std::uint8_t>(i);
  }
  Bytes event;
  for (std::uint32_t word : {0xFFFFFFFFu, 2u, 7u}) {
    support::PutU32(event, word);
  }
  Bytes data = support::FromHex(
      "01000000 01000000 00000000 00000000 01000000 01000000 02000000"
      "9a9999999999b93f 000000000000e03f");
  return {Record(2, open), Record(4, event), Record(8, data), Record(3, Bytes())};
}

// Takes out every whole record, checking alignment on the way.
void Drain(RecordSplitter* splitter, std::vector<Bytes>* out) {
  AlignedRecord record;
  while (splitter->Next(&record) == RecordSplitter::Status::kRecord) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(record.Data()) % 8, 0u);
    out->push_back(Bytes(record.Bytes(), record.Bytes() + record.Size()));
  }
}

TEST(Reassembly, EverySplitPointGivesTheSameRecords) {
  const std::vector<Bytes> records = SampleRecords();
  const Bytes stream = support::Join(records);
  ASSERT_EQ(stream.size(), 308u + 24u + 56u + 12u);
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    RecordSplitter splitter;
    std::vector<Bytes> out;
    splitter.Append(stream.data(), cut);
    Drain(&splitter, &out);
    splitter.Append(stream.data() + cut, stream.size() - cut);
    Drain(&splitter, &out);
    ASSERT_EQ(out, records) << "cut at " << cut;
    EXPECT_EQ(splitter.Pending(), 0u);
  }
}

TEST(Reassembly, OneByteAtATime) {
  const std::vector<Bytes> records = SampleRecords();
  const Bytes stream = support::Join(records);
  RecordSplitter splitter;
  std::vector<Bytes> out;
  for (std::uint8_t byte : stream) {
    splitter.Append(&byte, 1);
    Drain(&splitter, &out);
  }
  EXPECT_EQ(out, records);
}

TEST(ReassemblySizes, SmallestAndLargestRecordsPass) {
  const Bytes stream = support::Join({Record(3, Bytes()), Record(8, Bytes(65536 - 12, 0xAB))});
  RecordSplitter splitter;
  splitter.Append(stream.data(), stream.size());
  AlignedRecord record;
  ASSERT_EQ(splitter.Next(&record), RecordSplitter::Status::kRecord);
  EXPECT_EQ(record.Size(), 12u);
  ASSERT_EQ(splitter.Next(&record), RecordSplitter::Status::kRecord);
  EXPECT_EQ(record.Size(), 65536u);
  EXPECT_EQ(record.Bytes()[65535], 0xAB);
  EXPECT_EQ(splitter.Next(&record), RecordSplitter::Status::kNeedMore);
}

TEST(ReassemblySizes, SizesOutsideTheBoundsAreCorruptOnceTheSizeWordArrives) {
  for (std::uint32_t size : {0u, 4u, 11u, 65537u, 0xFFFFFFFFu}) {
    Bytes word;
    support::PutU32(word, size);
    RecordSplitter splitter;
    AlignedRecord record;
    splitter.Append(word.data(), 3);
    EXPECT_EQ(splitter.Next(&record), RecordSplitter::Status::kNeedMore) << size;
    splitter.Append(word.data() + 3, 1);
    EXPECT_EQ(splitter.Next(&record), RecordSplitter::Status::kCorrupt) << size;
  }
}

TEST(ReassemblySizes, RecordsBeforeACorruptSizeComeOutAndCorruptIsFinal) {
  Bytes stream = Record(3, Bytes());
  support::PutU32(stream, 8);
  RecordSplitter splitter;
  splitter.Append(stream.data(), stream.size());
  AlignedRecord record;
  ASSERT_EQ(splitter.Next(&record), RecordSplitter::Status::kRecord);
  EXPECT_EQ(record.Size(), 12u);
  EXPECT_EQ(splitter.Next(&record), RecordSplitter::Status::kCorrupt);
  const Bytes good = Record(3, Bytes());
  splitter.Append(good.data(), good.size());
  EXPECT_EQ(splitter.Next(&record), RecordSplitter::Status::kCorrupt);
}

}  // namespace
