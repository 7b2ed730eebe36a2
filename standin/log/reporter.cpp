// Trace stamping, packet argument decoding for the trace, log lines and the
// summary text.
#include "standin/log/reporter.h"

#include "standin/wire/bytes.h"

namespace standin {

namespace {

using Clock = std::chrono::steady_clock;
const std::size_t kRecentEvents = 4;
const auto kHoldSpan = std::chrono::seconds(1);
// Packets of one client traced a second: a client following at 1000 fps
// sends 1000.
const std::uint64_t kPacketsTraced = 2000;
// Following clients named in the summary's count of frames without command.
const std::size_t kClientsListed = 8;

}  // namespace

Reporter::Reporter(TraceFile* trace, std::FILE* log)
    : trace_(trace), log_(log), start_(std::chrono::steady_clock::now()) {}

void Reporter::SetClock(double simTime, std::uint64_t frame) {
  simTime_ = simTime;
  frame_ = frame;
}

JsonLine Reporter::Line(const char* kind) const {
  std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start_;
  JsonLine line;
  char t[32];
  std::snprintf(t, sizeof t, "%.4f", simTime_);
  line.Raw("t", t);
  std::snprintf(t, sizeof t, "%.3f", wall.count());
  line.Raw("wall", t);
  line.Int("frame", static_cast<std::int64_t>(frame_));
  line.Str("kind", kind);
  return line;
}

bool Reporter::Writing() {
  if (trace_ == nullptr) {
    return false;
  }
  if (leavingOut_) {
    stats.traceLeftOut++;
    traced_[currentClient_].lines++;
    return false;
  }
  return true;
}

void Reporter::Trace(const JsonLine& line) {
  if (Writing()) {
    trace_->Write(line);
  }
}

void Reporter::BeginPacket(int client) {
  if (trace_ == nullptr) {
    return;
  }
  const Clock::time_point now = Clock::now();
  auto found = traced_.find(client);
  if (found != traced_.end() && now - found->second.since >= kHoldSpan) {
    Tick();
    found = traced_.find(client);
  }
  if (found == traced_.end()) {
    found = traced_.emplace(client, Held{now}).first;
  }
  Held& held = found->second;
  currentClient_ = client;
  leavingOut_ = held.shown >= kPacketsTraced;
  if (leavingOut_) {
    held.more++;
  } else {
    held.shown++;
  }
}

void Reporter::TracePacket(int client, const Packet& packet) {
  if (!Writing()) {
    return;
  }
  JsonLine line = Line("packet");
  line.Int("client", client).Int("send_id", packet.sendId).Int("protocol", packet.protocol);
  line.Int("size", packet.size);
  if (packet.layout == nullptr) {
    line.Str("type", "unknown").Str("type_id", Hex32(packet.type));
  } else {
    line.Str("type", packet.layout->name);
  }
  if (!packet.args.empty()) {
    JsonLine args;
    for (std::size_t i = 0; i < packet.args.size(); ++i) {
      const wire::FieldLayout& field = packet.layout->fields[i];
      const FieldValue& value = packet.args[i];
      if (field.kind == wire::FieldKind::kText) {
        args.Str(field.name, value.text);
      } else if (field.kind == wire::FieldKind::kF32) {
        args.Float(field.name, value.f32);
      } else {
        args.Int(field.name, value.u32);
      }
    }
    line.Raw("args", args.Text());
  }
  trace_->Write(line);
}

void Reporter::Note(const std::string& raw) {
  // Notes carry client names and menu texts: no control byte reaches the terminal.
  const std::string text = Printable(raw);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%8.3f ", simTime_);
  if (console != nullptr) {
    if (!console->Write("[" + std::string(stamp) + "] " + text + "\n")) {
      stats.logLinesDropped++;
    }
  } else if (log_ != nullptr) {
    std::fprintf(log_, "[%s] %s\n", stamp, text.c_str());
    std::fflush(log_);
  }
  recent_.push_back(stamp + text);
  if (recent_.size() > kRecentEvents) {
    recent_.pop_front();
  }
}

void Reporter::NoteRepeated(int client, const std::string& kind, const std::string& text) {
  const Clock::time_point now = Clock::now();
  if (repeated_.SecondOver(client, kind, now)) {
    Tick();
  }
  if (repeated_.Admit(client, kind, now)) {
    Note(ClientPrefix(client) + text);
  } else {
    stats.notesCounted++;
  }
}

void Reporter::Tick(bool force) {
  Settle(force, [](int) { return true; });
}

void Reporter::ClientLeft(int client) {
  Settle(true, [client](int of) { return of == client; });
}

void Reporter::Settle(bool force, const std::function<bool(int)>& ofClient) {
  const Clock::time_point now = Clock::now();
  for (const std::string& line : repeated_.Settle(force, ofClient, now)) {
    Note(line);
  }
  for (auto it = traced_.begin(); it != traced_.end();) {
    // The packet being left out still counts its lines where it began.
    const bool counting = leavingOut_ && it->first == currentClient_;
    if (counting || !ofClient(it->first) || (!force && now - it->second.since < kHoldSpan)) {
      ++it;
      continue;
    }
    if (it->second.more > 0 && trace_ != nullptr) {
      JsonLine line = Line("left_out");
      line.Int("client", it->first).Int("packets", static_cast<std::int64_t>(it->second.more));
      trace_->Write(line.Int("lines", static_cast<std::int64_t>(it->second.lines)));
    }
    it = traced_.erase(it);
  }
}

// "438 (client 1), 0 (client 3)": each client that followed, with the
// frames it left without a command, the first kClientsListed of them and
// the rest added up; "0" when none followed.
std::string Reporter::Unanswered() const {
  std::string text;
  std::size_t listed = 0;
  std::uint64_t restFrames = 0;
  for (const auto& client : unanswered_) {
    if (listed++ < kClientsListed) {
      text += (text.empty() ? "" : ", ") + std::to_string(client.second) + " (client " +
              std::to_string(client.first) + ")";
    } else {
      restFrames += client.second;
    }
  }
  if (listed > kClientsListed) {
    text += ", " + std::to_string(restFrames) + " (" + std::to_string(listed - kClientsListed) +
            " more clients)";
  }
  return text.empty() ? "0" : text;
}

std::string Reporter::Summary() const {
  char text[1024];
  std::snprintf(text, sizeof text,
                "Stand-in summary:\n"
                "  simulated time        %.1f s\n"
                "  frames rendered       %llu\n"
                "  clients served        %llu\n"
                "  data records sent     %llu (dropped for slow clients: %llu)\n"
                "  camera commands       %llu\n"
                "  frames without command while a client followed: %s\n"
                "  exceptions sent       %llu\n",
                simTime_, static_cast<unsigned long long>(stats.frames),
                static_cast<unsigned long long>(stats.clients),
                static_cast<unsigned long long>(stats.dataRecords),
                static_cast<unsigned long long>(stats.dataDropped),
                static_cast<unsigned long long>(stats.cameraCommands), Unanswered().c_str(),
                static_cast<unsigned long long>(stats.exceptions));
  std::string summary = text;
  if (!persona.empty()) {
    summary.insert(summary.find('\n') + 1, "  simulator played      " + persona + "\n");
  }
  if (stats.cameraIgnored > 0) {
    summary += "  camera commands ignored " + std::to_string(stats.cameraIgnored) +
               " (the camera stays as it is)\n";
  }
  if (stats.refused > 0) {
    summary += "  clients refused       " + std::to_string(stats.refused) + "\n";
  }
  if (stats.notesCounted > 0) {
    summary += "  log lines counted only " + std::to_string(stats.notesCounted) +
               " (repeated lines of one kind, told as counts)\n";
  }
  if (stats.recordsLate > 0) {
    summary += "  frame records late    " + std::to_string(stats.recordsLate) +
               " (dropped: the frame's time for records had run out)\n";
  }
  if (stats.logLinesDropped > 0) {
    summary += "  log lines dropped     " + std::to_string(stats.logLinesDropped) +
               " (standard output took nothing for a while)\n";
  }
  if (stats.traceLeftOut > 0) {
    summary += "  trace lines left out  " + std::to_string(stats.traceLeftOut) + "\n";
  }
  return summary;
}

}  // namespace standin
