// Figures from a latency log: rows per client, the cut at the exit frame,
// the rejected rows with their line numbers, and nearest-rank percentiles.
#include "bench/latency_stats.h"

#include <gtest/gtest.h>

#include <sstream>

namespace bench {
namespace {

std::map<int, ClientFrames> Read(const std::string& text, std::uint64_t untilFrame) {
  std::istringstream in(text);
  std::map<int, ClientFrames> clients;
  std::string error;
  EXPECT_TRUE(ReadLatencyLog(in, untilFrame, &clients, &error)) << error;
  return clients;
}

std::string ErrorOf(const std::string& text) {
  std::istringstream in(text);
  std::map<int, ClientFrames> clients;
  std::string error;
  EXPECT_FALSE(ReadLatencyLog(in, 100, &clients, &error)) << text;
  return error;
}

TEST(LatencyLogRead, RowsGoToTheirClientsBeforeTheCut) {
  auto clients = Read(
      "# header\n"
      "open\t1\tVantilo\n"
      "open\t2\tnode-simconnect baseline\n"
      "\n"
      "frame\t1\t1\t1000\t1600\n"
      "frame\t2\t1\t1005\t1305\n"
      "frame\t1\t2\t2000\t-\n"
      "frame\t1\t3\t3000\t3250\n"
      "frame\t2\t3\t3005\t-\n"
      "frame\t1\t4\t4000\t-\n",  // frame 4 is the exit frame: not counted
      4);
  ASSERT_EQ(clients.size(), 2u);
  EXPECT_EQ(clients[1].name, "Vantilo");
  EXPECT_EQ(clients[1].latenciesNs, (std::vector<std::int64_t>{600, 250}));
  EXPECT_EQ(clients[1].withoutCommand, 1u);
  EXPECT_EQ(clients[1].sentNs, (std::vector<std::int64_t>{1000, 2000, 3000}));
  EXPECT_EQ(clients[2].name, "node-simconnect baseline");
  EXPECT_EQ(clients[2].latenciesNs, (std::vector<std::int64_t>{300}));
  EXPECT_EQ(clients[2].withoutCommand, 1u);
}

TEST(LatencyLogRead, FindsClientsByName) {
  auto clients = Read("open\t3\tVantilo\nopen\t5\tVantilo\nframe\t5\t1\t10\t20\n", 100);
  const ClientFrames* found = FindClient(clients, "Vantilo");
  ASSERT_NE(found, nullptr);
  EXPECT_TRUE(found->latenciesNs.empty());  // client 3 came first
  EXPECT_EQ(FindClient(clients, "vantilo"), nullptr);
}

TEST(LatencyLogRead, RejectsRowsItCannotTrust) {
  EXPECT_EQ(ErrorOf("open\t1\tA\nframe\t3\t1\t10\t20\n"),
            "line 2: frame of client 3, which never opened");
  EXPECT_EQ(ErrorOf("open\t1\tA\nframe\t1\t1\t10\t9\n"),
            "line 2: command applied before its record was sent");
  EXPECT_EQ(ErrorOf("open\t1\tA\nframe\t1\t1\t10\n"), "line 2: bad frame row");
  EXPECT_EQ(ErrorOf("open\t1\tA\nframe\t1\t1\t10\t2x\n"), "line 2: bad frame row");
  EXPECT_EQ(ErrorOf("open\t1\tA\nframe\t1\t-4\t10\t20\n"), "line 2: bad frame row");
  EXPECT_EQ(ErrorOf("# header\nclose\t1\n"), "line 2: unknown row");
  EXPECT_EQ(ErrorOf("open\tone\tA\n"), "line 1: unknown row");
}

TEST(LatencyCloseRecords, CountsGapsUnderTheMinimum) {
  EXPECT_EQ(CloseRecords({0, 1000, 1100, 3000, 3050, 3550}, 500), 2u);  // 100 and 50; 500 is not
  EXPECT_EQ(CloseRecords({7}, 500), 0u);
  EXPECT_EQ(CloseRecords({}, 500), 0u);
}

TEST(LatencyPercentile, NearestRank) {
  std::vector<std::int64_t> hundred;
  for (int i = 100; i >= 1; --i) {
    hundred.push_back(i);  // unsorted on purpose
  }
  EXPECT_EQ(Percentile(hundred, 50), 50);
  EXPECT_EQ(Percentile(hundred, 99), 99);
  EXPECT_EQ(Percentile(hundred, 100), 100);

  std::vector<std::int64_t> twoHundred;
  for (int i = 1; i <= 200; ++i) {
    twoHundred.push_back(i * 10);
  }
  EXPECT_EQ(Percentile(twoHundred, 99), 1980);

  EXPECT_EQ(Percentile({7, 3, 5}, 50), 5);
  EXPECT_EQ(Percentile({7, 3, 5}, 99), 7);
  EXPECT_EQ(Percentile({42}, 1), 42);
  EXPECT_EQ(Percentile({}, 50), 0);
}

}  // namespace
}  // namespace bench
