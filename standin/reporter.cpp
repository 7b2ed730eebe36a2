// Trace stamping, packet argument decoding for the trace, log lines and the
// summary text.
#include "standin/reporter.h"

#include "standin/bytes.h"

namespace standin {

namespace {
const std::size_t kRecentEvents = 4;
}

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

void Reporter::Trace(const JsonLine& line) {
  if (trace_ != nullptr) {
    trace_->Write(line);
  }
}

void Reporter::TracePacket(int client, const Packet& packet) {
  if (trace_ == nullptr) {
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
      const FieldLayout& field = packet.layout->fields[i];
      const FieldValue& value = packet.args[i];
      if (field.kind == FieldKind::kText) {
        args.Str(field.name, value.text);
      } else if (field.kind == FieldKind::kF32) {
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
  if (log_ != nullptr) {
    std::fprintf(log_, "[%s] %s\n", stamp, text.c_str());
    std::fflush(log_);
  }
  recent_.push_back(stamp + text);
  if (recent_.size() > kRecentEvents) {
    recent_.pop_front();
  }
}

std::string Reporter::Summary() const {
  char text[512];
  std::snprintf(text, sizeof text,
                "Stand-in summary:\n"
                "  simulated time        %.1f s\n"
                "  frames rendered       %llu\n"
                "  clients served        %llu\n"
                "  data records sent     %llu (dropped for slow clients: %llu)\n"
                "  camera commands       %llu\n"
                "  frames without command while a client followed: %llu\n"
                "  exceptions sent       %llu\n",
                simTime_, static_cast<unsigned long long>(stats.frames),
                static_cast<unsigned long long>(stats.clients),
                static_cast<unsigned long long>(stats.dataRecords),
                static_cast<unsigned long long>(stats.dataDropped),
                static_cast<unsigned long long>(stats.cameraCommands),
                static_cast<unsigned long long>(stats.framesWithoutCommand),
                static_cast<unsigned long long>(stats.exceptions));
  std::string summary = text;
  if (stats.refused > 0) {
    summary += "  clients refused       " + std::to_string(stats.refused) + "\n";
  }
  return summary;
}

}  // namespace standin
