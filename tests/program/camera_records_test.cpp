// What each record kind prints or leaves alone: the connection and
// exception reports, the records and events the controller ignores, and
// records too short for the fields their kind needs.
#include "tests/program/program_test_support.h"
#include "tests/support/console_text.h"

namespace {

// Cases of records that must change nothing start from an altered state.
class Records : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    controllerState = kAltered;
  }
};

TEST_F(Records, ConnectionReport) {
  EXPECT_EQ(Printed(fake::OpenRecord("Microsoft Flight Simulator X", 10)),
            support::ConsoleText(
                "connected", {{"application", "Microsoft Flight Simulator X"}, {"version", "10"}}));
  EXPECT_TRUE(StateIs(kAltered));
  EXPECT_EQ(CommandCount(), 0u);
}

// The connected line shows the application's name up to its NUL or the
// end of its field, and its version signed. A hostile host's escapes reach
// the console as '?', one per character: C0 bytes and DEL; C1 controls
// (CSI, OSC, ST) in their UTF-8 form or as bytes outside any UTF-8 sequence.
// Every other UTF-8 character prints as it came, though its bytes may lie
// in 0x80-0x9F.
TEST_F(Records, ApplicationNameAndVersionAsPrinted) {
  struct Row {
    std::string name;  // the field's bytes, NUL-padded
    DWORD version;
    std::string printed;  // "Now connected to " ... " Version N\n"
  };
  // U+009B, U+009D, U+009C in UTF-8; a field of 128 STs and no NUL
  const std::string csi = "\xc2\x9b", osc = "\xc2\x9d", st = "\xc2\x9c";
  std::string fieldOfStringTerminators;
  for (int i = 0; i < 128; ++i) {
    fieldOfStringTerminators += st;
  }
  const Row rows[] = {
      // what follows the NUL is not shown
      {std::string("FSX\0hidden", 10), 10, "FSX Version 10"},
      // a field without a NUL is cut at its end: the version's first byte
      // ('B') right after it is not read as text
      {std::string(256, 'A'), 'B', std::string(256, 'A') + " Version 66"},
      // large versions print negative
      {"Sim", 0x80000001u, "Sim Version -2147483647"},
      // OSC 0, which sets the terminal title, in C0 escapes
      {"\x1b]0;owned\x07Sim\x7f\x01\x1f \xc3\xa9~", 10, "?]0;owned?Sim??? \xc3\xa9~ Version 10"},
      // CSI 2J, clear the screen, then OSC 52, write the clipboard, in UTF-8 C1
      {csi + "2J" + osc + "52;c;cHduZWQ=" + st, 10, "?2J?52;c;cHduZWQ=? Version 10"},
      // the same as bytes of no UTF-8 sequence, alone or after a broken lead
      {"\x9b" + std::string("2J\x9d") + "52;c;x\x9c|\xe0\x9b|\xc2\xc2\x80|\x80\x9f", 10,
       "?2J?52;c;x?|\xe0?|\xc2?|?? Version 10"},
      // characters whose bytes lie in 0x80-0x9F: U+0100, the euro sign,
      // U+D7FF and U+1F600
      {"\xc4\x80 \xe2\x82\xac \xed\x9f\xbf \xf0\x9f\x98\x80", 10,
       "\xc4\x80 \xe2\x82\xac \xed\x9f\xbf \xf0\x9f\x98\x80 Version 10"},
      // a lead byte that ends the field is not completed by the version after it
      {std::string(255, 'A') + "\xc2", 0x9b, std::string(255, 'A') + "\xc2 Version 155"},
      // a whole field of ST, one '?' each
      {fieldOfStringTerminators, 10, std::string(128, '?') + " Version 10"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.printed);
    char name[256] = {};
    std::memcpy(name, row.name.data(), row.name.size());
    std::string out = Printed(fake::OpenRecordRawName(name, row.version));
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), "Now connected to " + row.printed + "\n");
  }
}

// The exception report prints the exception's id signed, and changes nothing.
TEST_F(Records, ExceptionReportWithItsIdSigned) {
  const std::pair<fake::Bytes, const char*> rows[] = {
      {fake::ExceptionRecord(SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 12, 1), "7"},
      {fake::ExceptionRecord(0x80000000u), "-2147483648"},
      {fake::ExceptionRecord(0xFFFFFFFFu), "-1"},
      {fake::ExceptionRecord(0x7FFFFFFFu), "2147483647"},
  };
  for (const auto& [record, id] : rows) {
    EXPECT_EQ(Printed(record),
              std::string("A SimConnect Exception occurred: Exception ID ") + id + "\n");
    EXPECT_TRUE(StateIs(kAltered));
  }
}

TEST_F(Records, UnknownEventIdsDoNothing) {
  const DWORD ids[] = {3,  4,  5,  6,  7,  8,  9,  10,  11,         12,
                       13, 14, 15, 16, 17, 19, 22, 100, 0xFFFFFFFFu};
  for (DWORD id : ids) {
    SCOPED_TRACE(id);
    EXPECT_EQ(Printed(fake::EventRecord(id, SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_2D)), "");
    EXPECT_TRUE(StateIs(kAltered));
  }
  EXPECT_EQ(fake::Calls().size(), 0u);
}

TEST_F(Records, GroupIdIsNotUsed) {
  controllerState = kFollowing;
  Dispatch(fake::EventRecord(EVENT_POV, 0, 7));
  EXPECT_FALSE(controllerState.active);
  EXPECT_EQ(controllerState.secondsSinceHat, 0);
}

TEST_F(Records, DataOfOtherRequestsIsIgnoredEvenAtTheSameSize) {
  controllerState = kFollowing;
  const DWORD requests[] = {0, 2, 1000, 0xFFFFFFFFu};
  for (DWORD request : requests) {
    SCOPED_TRACE(request);
    EXPECT_EQ(Printed(fake::DataRecord(request, 0.1, 0.5)), "");
    EXPECT_TRUE(StateIs(kFollowing));
  }
  EXPECT_EQ(CommandCount(), 0u);
  EXPECT_TRUE(FrameSendsCommand());
}

TEST_F(Records, OtherRecordKindsAreIgnored) {
  const DWORD kinds[] = {0, 5, 6, 7, 9, 10, 15, 16, 26, 45, 0xFFFFFFFFu};
  for (const ControllerState& start : {kAltered, kFollowing}) {
    for (DWORD kind : kinds) {
      SCOPED_TRACE(kind);
      controllerState = start;
      // A body that would mean something to a handled kind: event 20, bank 0.5.
      fake::Bytes record = fake::DataRecord(REQUEST_ATTITUDE, 0.1, 0.5);
      record[8] = static_cast<std::uint8_t>(kind);
      record[9] = record[10] = record[11] = static_cast<std::uint8_t>(kind >> 8);
      record[16] = EVENT_MENU_EXIT;
      EXPECT_EQ(Printed(record), "");
      EXPECT_TRUE(StateIs(start));
    }
    EXPECT_EQ(Printed(fake::FrameRecord(60.0f, 1.0f)), "");
    EXPECT_TRUE(StateIs(start));
  }
  EXPECT_EQ(fake::Calls().size(), 0u);
}

// A record shorter than the fields its kind needs is ignored: nothing is
// read past the byte count (AddressSanitizer builds check the reads).
TEST_F(Records, TooShortForItsKindIsIgnored) {
  struct Row {
    fake::Bytes record;
    DWORD needed;
  };
  const Row rows[] = {
      {fake::QuitRecord(), 12},
      {fake::ExceptionRecord(7), 16},
      {fake::EventRecord(EVENT_MENU_EXIT), 24},
      {fake::EventRecord(EVENT_POV), 24},
      {fake::OpenRecord("Sim", 10), 272},
      {fake::DataRecord(REQUEST_ATTITUDE, 0.0, 0.5), 56},
  };
  for (const ControllerState& start : {kAltered, kFollowing}) {
    controllerState = start;
    for (const Row& row : rows) {
      for (DWORD cb = 0; cb < row.needed; ++cb) {
        SCOPED_TRACE(::testing::Message() << "needed " << row.needed << " given " << cb);
        EXPECT_EQ(Printed(row.record, cb), "");
        EXPECT_TRUE(StateIs(start));
      }
    }
  }
  EXPECT_EQ(fake::Calls().size(), 0u);
}

TEST_F(Records, ExactlyLongEnoughIsHandled) {
  controllerState = kFollowing;
  EXPECT_EQ(Printed(fake::ExceptionRecord(3), 16),
            "A SimConnect Exception occurred: Exception ID 3\n");
  EXPECT_EQ(Printed(fake::OpenRecord("Sim", 10), 272).substr(0, 31),
            "Now connected to Sim Version 10");
  Dispatch(fake::DataRecord(REQUEST_ATTITUDE, 0.0, 0.5), 56);
  EXPECT_EQ(CommandCount(), 1u);
  Dispatch(fake::QuitRecord(), 12);
  EXPECT_TRUE(controllerState.quitRequested);
}

TEST_F(Records, NullRecordIsIgnored) {
  CameraDispatch(nullptr, 56, nullptr);
  EXPECT_TRUE(StateIs(kAltered));
  controllerState = kFollowing;
  CameraDispatch(nullptr, 56, nullptr);
  EXPECT_TRUE(StateIs(kFollowing));
  EXPECT_EQ(fake::Calls().size(), 0u);
}

}  // namespace
