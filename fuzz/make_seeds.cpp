// Writes the fuzz targets' seed corpora: records from the stand-in's record
// builders, packets as Vantilo sends them (its calls read from the golden
// file tests/program/registration.txt, see tests/support/call_sequence.h), and
// SimConnect.cfg and scenario texts. Usage: fuzz_make_seeds CORPUS_DIR
// (writes CORPUS_DIR/<target>/<seed>); the committed corpus is its output.
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "hostlink/net/packets.h"
#include "hostlink/net/wire.h"
#include "standin/wire/bytes.h"
#include "standin/wire/records.h"
#include "standin/world/scenario.h"
#include "tests/support/call_sequence.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string corpusDir;
bool failed = false;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::string folder = corpusDir + "/" + target;
  mkdir(corpusDir.c_str(), 0755);
  mkdir(folder.c_str(), 0755);
  std::FILE* file = std::fopen((folder + "/" + name).c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), name.c_str());
    failed = true;
  }
  if (file != nullptr) {
    std::fclose(file);
  }
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes Cut(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

// A stream input: the stream, its cut codes, and their count (fuzz_input.h).
Bytes WithCuts(Bytes stream, const Bytes& codes) {
  Append(stream, codes);
  stream.push_back(static_cast<std::uint8_t>(codes.size()));
  return stream;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// An attitude record for request 1 (pitch, then bank, in radians).
Bytes Attitude(double bankRadians) {
  return standin::ObjectDataRecord(2, 1, 0, {-0.05, bankRadians});
}

// A record with the protocol word p in its header, as simulators newer than
// FSX may stamp their own number on what they send an older client.
Bytes Stamped(Bytes record, std::uint32_t p) {
  standin::SetU32(record, 4, p);
  return record;
}

// An EVENT record; with flags, 28 bytes long, a flags word after the data,
// as Prepar3D's are reported to be.
Bytes Event(std::uint32_t p, std::uint32_t group, std::uint32_t id, std::uint32_t data,
            bool flags) {
  Bytes record = standin::EventRecord(p, group, id, data);
  if (flags) {
    standin::PutU32(record, 0);
    standin::SetU32(record, 0, static_cast<std::uint32_t>(record.size()));
  }
  return record;
}

// What the stand-in sends Vantilo over a run: open, view, frames, the hat
// and four "1sec" ticks, the menu's Pause twice, an exception, Exit, quit;
// every header stamped p, the events with flags or without.
Bytes RecordSession(std::uint32_t p = 2, bool flags = false) {
  Bytes s = standin::OpenRecord(p);
  Append(s, Event(p, 0xFFFFFFFFu, 1, 2, flags));
  Append(s, standin::FrameRecord(p, 3, 60.0f, 1.0f));
  Append(s, Stamped(Attitude(0.349), p));
  Append(s, Event(p, 0, 18, 0, flags));
  Append(s, Stamped(Attitude(-0.2), p));
  for (int i = 0; i < 4; ++i) {
    Append(s, Event(p, 0xFFFFFFFFu, 2, 0, flags));
  }
  Append(s, Stamped(Attitude(0.1), p));
  Append(s, Event(p, 0, 21, 12345, flags));
  Append(s, Stamped(Attitude(0.3), p));
  Append(s, Event(p, 0, 21, 12345, flags));
  Append(s, Event(p, 0xFFFFFFFFu, 1, 1, flags));
  Append(s, Event(p, 0xFFFFFFFFu, 0, 1, flags));
  Append(s, standin::ExceptionRecord(p, 3, 7, 2));
  Append(s, Event(p, 0, 20, 12345, flags));
  Append(s, standin::QuitRecord(p));
  return s;
}

// The stand-in's open record with another application name.
Bytes OpenRecordNamed(const std::string& name) {
  Bytes record = standin::OpenRecord(2);
  for (std::size_t i = 0; i < wire::kTextFieldBytes; ++i) {
    record[12 + i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0;
  }
  return record;
}

// C1 controls (CSI, OSC, ST) in UTF-8 and as bare bytes, beside UTF-8
// characters whose bytes lie in 0x80-0x9F: a text for names and menus.
const char kC1Text[] =
    "\xc2\x9b"
    "2J\xc2\x9d"
    "52;c;eA==\xc2\x9c \x9b\x9d\x9c \xe0\x9b caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80";

void CameraDispatchSeeds() {
  const char* t = "fuzz_camera_dispatch";
  Write(t, "open", standin::OpenRecord(2));
  Write(t, "open_c1_name", OpenRecordNamed(kC1Text));
  Write(t, "attitude", Attitude(0.349));
  Bytes notFinite = Attitude(std::nan(""));
  for (double bank : {HUGE_VAL, -1e300, 0x1.1df240dd1da0cp+122, 0.349}) {
    Append(notFinite, Attitude(bank));
  }
  Write(t, "attitude_not_finite", notFinite);
  Write(t, "session", RecordSession());
  Write(t, "session_protocol_4_events_28", RecordSession(4, true));
  Write(t, "session_protocol_5", RecordSession(5));
  Write(t, "session_protocol_6", RecordSession(6));
  Write(t, "event_cut_short", Cut(standin::EventRecord(2, 0, 18, 0), 20));
  Write(t, "attitude_cut_short", Cut(Attitude(0.349), 50));
  Write(t, "exception", standin::ExceptionRecord(2, 1, 4, 0xFFFFFFFFu));
}

void ReassemblySeeds() {
  const char* t = "fuzz_reassembly";
  const Bytes session = RecordSession();
  Write(t, "session_whole", WithCuts(session, {}));
  Write(t, "session_bytewise", WithCuts(session, {1}));
  Write(t, "session_cuts", WithCuts(session, {3, 12, 200, 7, 0}));
  Write(t, "session_protocol_6_events_28_cuts", WithCuts(RecordSession(6, true), {28, 5, 0}));
  // The largest record allowed: 40 bytes of header and 8187 doubles.
  const std::size_t doubles = (wire::kMaxRecordBytes - wire::kObjectDataHeaderBytes) / 8;
  Write(t, "largest_record",
        WithCuts(standin::ObjectDataRecord(2, 1, 0, std::vector<double>(doubles, 0.25)), {240}));
  Bytes oversized = standin::QuitRecord(2);
  standin::PutU32(oversized, wire::kMaxRecordBytes + 1);
  Write(t, "oversized_after_quit", WithCuts(oversized, {}));
  Bytes undersized = standin::QuitRecord(2);
  standin::PutU32(undersized, wire::kMinRecordBytes - 1);
  Write(t, "undersized_after_quit", WithCuts(undersized, {13, 2}));
}

// The program's registration from its golden file (the Open's send id 1),
// and a camera command after it.
Bytes ProgramPackets(const support::CallSequence& program) {
  Bytes s = support::EncodeCalls(1, program.registration);
  const std::uint32_t id = static_cast<std::uint32_t>(program.registration.size()) + 1;
  Append(s, vantilo_net::Encode<wire::kCameraSetRelative6DOF>(id, 0.0f, 0.0f, 0.0f, 8.0f, 0.0f,
                                                              -20.0f));
  return s;
}

void StandinPacketSeeds() {
  using namespace vantilo_net;
  const char* t = "fuzz_standin_packets";
  const support::CallSequence program = support::ReadCallSequence(VANTILO_REGISTRATION_FILE);
  Bytes run = ProgramPackets(program);
  Append(run, support::EncodeCalls(100, program.tearDown));
  Write(t, "program_run", WithCuts(run, {}));
  // Piece codes: low five bits pick a length (31: all), top three a happening.
  Write(t, "program_then_world",
        WithCuts(ProgramPackets(program), {31, 0x20, 0x40, 0x60, 0x80, 0xA0, 0xC0, 0xE0}));
  Write(t, "program_bytewise_with_frames", WithCuts(ProgramPackets(program), {1, 0x41, 0x61}));
  Bytes unopened = Encode<wire::kCameraSetRelative6DOF>(1, 0.0f, 0.0f, 0.0f, 8.0f, 0.0f, 1.0f);
  Append(unopened, EncodeOpen(2, "Vantilo"));
  Append(unopened, EncodeOpen(3, "Vantilo"));  // a second open is refused
  Write(t, "camera_before_open", WithCuts(unopened, {}));
  Bytes c1 = EncodeOpen(1, kC1Text);
  Append(c1, Encode<wire::kMenuAddItem>(2, kC1Text, 19, 12345));
  Append(c1, Encode<wire::kMenuAddSubItem>(3, 19, kC1Text, 21, 12345));
  Write(t, "c1_texts", WithCuts(c1, {}));
  Bytes protocol4 = EncodeOpen(1, "node-simconnect");
  standin::SetU32(protocol4, 4, 4);
  Write(t, "open_protocol_4", WithCuts(protocol4, {0x40 | 22}));
  Bytes odd = EncodeOpen(1, "Vantilo");
  Bytes unknown = Encode<wire::kMenuDeleteItem>(2, 19);
  standin::SetU32(unknown, 8, 0xF0000099u);
  Append(odd, unknown);
  Bytes mismatch = Encode<wire::kMenuDeleteItem>(3, 19);
  mismatch.push_back(0);
  standin::SetU32(mismatch, 0, static_cast<std::uint32_t>(mismatch.size()));
  Append(odd, mismatch);
  Bytes tooShort = Cut(Encode<wire::kMenuDeleteItem>(4, 19), 15);
  standin::SetU32(tooShort, 0, 15);
  Append(odd, tooShort);
  Write(t, "unknown_mismatched_corrupt", WithCuts(odd, {5, 17}));
}

Bytes Cfg(std::uint32_t index, const std::string& text) {
  Bytes out;
  standin::PutU32(out, index);
  Append(out, Text(text));
  return out;
}

// ASCII text as UTF-16 big-endian with its byte order mark.
std::string Utf16BigEndian(const std::string& ascii) {
  std::string text = "\xFE\xFF";
  for (char c : ascii) {
    text += '\0';
    text += c;
  }
  return text;
}

void SimConnectCfgSeeds() {
  const char* t = "fuzz_simconnect_cfg";
  Write(t, "ipv4", Cfg(0, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=500\n"));
  Write(t, "ipv6_index_1",
        Cfg(1,
            "; two sections\r\n[SimConnect]\r\nPort=2048\r\n[SimConnect.1]\r\n"
            "Protocol=Ipv6\r\nPort = 4506   # local\r\n"));
  Write(t, "pipe", Cfg(0, "[SimConnect]\nProtocol=Pipe\nAddress=.\n"));
  Write(t, "bad_port", Cfg(0, "[simconnect]\nport=70000\n"));
  Write(t, "no_section_for_index", Cfg(2, "[SimConnect.1]\nProtocol=Auto\nPort=1\n"));
  Write(t, "largest_index", Cfg(0xFFFFFFFEu, "[SimConnect.4294967294]\nProtocol=Auto\n"));
  Write(t, "utf8_bom", Cfg(0, "\xEF\xBB\xBF[SimConnect]\r\nAddress=flightsim-pc\r\nPort=500\r\n"));
  Write(t, "utf16_be_port_twice",
        Cfg(0, Utf16BigEndian("[SimConnect]\r\nAddress=flightsim-pc\r\nPort=500\r\nPort=9\r\n")));
  Write(t, "bracketed_address", Cfg(0, "[SimConnect]\nProtocol=IPv6\nAddress=[::1]\nPort=500\n"));
}

void ScenarioSeeds() {
  const char* t = "fuzz_scenario";
  Write(t, "default", Text(standin::DefaultScenarioText()));
  Write(t, "every_form",
        Text("0 roll left 180 over 3600\n0 roll right 0.5\n0.5 roll level\n1 pitch up 90\n"
             "1 pitch down 2 over 0.25\n2 pitch level over 1\n3 hat\n4 view external\n"
             "5 view 2d\n6 view virtual\n7 pause\n8 pause on\n9 pause off\n"
             "10 menu  Some  Entry  \n11 quit\n12 end\n"));
  Write(t, "bad_angle", Text("0 hat\n1 roll left 181\n"));
  Write(t, "time_goes_back", Text("5 hat\n\t# a comment\n4 hat\n"));
  Write(t, "bad_duration", Text("1 pitch up 3 over 0\n"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
    return 2;
  }
  corpusDir = argv[1];
  CameraDispatchSeeds();
  ReassemblySeeds();
  try {
    StandinPacketSeeds();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    failed = true;
  }
  SimConnectCfgSeeds();
  ScenarioSeeds();
  return failed ? 1 : 0;
}
