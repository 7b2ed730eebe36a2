// The stand-in's latency log: how records and camera commands pair up per
// client, and the exact row text.
#include <gtest/gtest.h>

#include <string>

#include "standin/log/latency.h"
#include "tests/support/files.h"

namespace standin {
namespace {

class LatencyLogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(log_.Open(path_)); }
  // The rows after the header line, once the log is closed.
  std::string Rows() {
    log_.Close();
    const std::string text = support::FileText(path_);
    EXPECT_EQ(text.rfind("# vantilo-standin latency log", 0), 0u) << text;
    const std::size_t headerEnd = text.find('\n');
    return headerEnd == std::string::npos ? "" : text.substr(headerEnd + 1);
  }

  support::TempFolder folder_;
  const std::string path_ = folder_.File("latency.tsv");
  LatencyLog log_;
};

TEST_F(LatencyLogTest, CommandAnswersTheRecordSentBeforeIt) {
  log_.ClientOpened(1, "Vantilo");
  log_.RecordSent(1, 5, 1000);
  log_.CommandApplied(1, 1750);
  log_.RecordSent(1, 6, 2000);
  log_.CommandApplied(1, 2999);
  EXPECT_EQ(Rows(), "open\t1\tVantilo\nframe\t1\t5\t1000\t1750\nframe\t1\t6\t2000\t2999\n");
}

TEST_F(LatencyLogTest, CommandsAnswerTheOldestWaitingRecord) {
  log_.RecordSent(1, 5, 1000);
  log_.RecordSent(1, 6, 2000);
  log_.CommandApplied(1, 2300);  // answers frame 5, late
  log_.CommandApplied(1, 2400);  // answers frame 6
  log_.CommandApplied(1, 2500);  // nothing left to answer
  EXPECT_EQ(Rows(), "frame\t1\t5\t1000\t2300\nframe\t1\t6\t2000\t2400\n");
}

TEST_F(LatencyLogTest, CommandsWithoutRecordsWriteNothingAndUnansweredRecordsCloseWithADash) {
  log_.CommandApplied(1, 500);
  log_.RecordSent(1, 1, 1000);
  log_.RecordSent(1, 2, 2000);
  log_.CommandApplied(1, 2100);
  log_.RecordSent(1, 3, 3000);
  EXPECT_EQ(Rows(), "frame\t1\t1\t1000\t2100\nframe\t1\t2\t2000\t-\nframe\t1\t3\t3000\t-\n");
}

TEST_F(LatencyLogTest, ClientsArePairedSeparately) {
  log_.RecordSent(1, 7, 1000);
  log_.RecordSent(2, 7, 1010);
  log_.CommandApplied(2, 1200);
  log_.RecordSent(2, 8, 2000);
  log_.CommandApplied(1, 2100);  // client 1 still answers frame 7
  EXPECT_EQ(Rows(), "frame\t2\t7\t1010\t1200\nframe\t1\t7\t1000\t2100\nframe\t2\t8\t2000\t-\n");
}

TEST_F(LatencyLogTest, FrameNumbersAndTimesKeepAllTheirDigits) {
  log_.RecordSent(3, 18446744073709551615u, 9223372036854775000);
  log_.CommandApplied(3, 9223372036854775807);
  EXPECT_EQ(Rows(), "frame\t3\t18446744073709551615\t9223372036854775000\t9223372036854775807\n");
}

TEST_F(LatencyLogTest, ControlCharactersInNamesBecomeQuestionMarks) {
  log_.ClientOpened(4, "a\tb\nc\177d\xe9");  // \177: DEL
  EXPECT_EQ(Rows(), "open\t4\ta?b?c?d\xe9\n");
}

TEST(LatencyLogFile, UnwritablePathFailsAndAClosedLogIgnoresCalls) {
  LatencyLog log;
  EXPECT_FALSE(log.Open("/nonexistent-folder/latency.tsv"));
  EXPECT_FALSE(log.open());
  log.RecordSent(1, 1, 1);
  log.CommandApplied(1, 2);
}

}  // namespace
}  // namespace standin
