// Session: the world's happenings delivered to the client as records, in
// the way it registered for them, and the record trace lines.
#include <cmath>

#include "standin/clients/session.h"
#include "standin/wire/records.h"

namespace standin {

namespace {
const double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
// Data values one client's records may carry per frame (and per second's
// tick): past it a record is dropped unbuilt, so that a client's thousand
// requests on a thousand-datum definition cost a frame no more than this.
const std::size_t kValuesPerFrame = 4096;
const std::size_t kFrameRecordBytes = sizeof(SIMCONNECT_RECV_EVENT_FRAME);
}  // namespace

void Session::Hat() {
  if (!opened_) {
    return;
  }
  for (const InputMapping& mapping : inputMappings_) {
    if (!inputGroupsOn_[mapping.group]) {
      continue;
    }
    // Input events reach the client through the notification group of the event.
    if (eventGroups_.count(mapping.downEvent) != 0) {
      SendEvent(GroupOf(mapping.downEvent), mapping.downEvent, mapping.downValue);
    }
    if (mapping.upEvent != SIMCONNECT_UNUSED && eventGroups_.count(mapping.upEvent) != 0) {
      SendEvent(GroupOf(mapping.upEvent), mapping.upEvent, mapping.upValue);
    }
  }
}

bool Session::ChooseMenu(const std::string& text) {
  if (!opened_) {
    return false;
  }
  for (const MenuItem& menu : menus_) {
    for (const MenuSubItem& sub : menu.subItems) {
      if (sub.text == text) {
        SendEvent(GroupOf(sub.id), sub.id, sub.data);
        return true;
      }
    }
  }
  for (const MenuItem& menu : menus_) {
    if (menu.subItems.empty() && menu.text == text) {
      SendEvent(GroupOf(menu.id), menu.id, menu.data);
      return true;
    }
  }
  return false;
}

void Session::SystemEventOccurred(SystemEvent kind, std::uint32_t data) {
  if (!opened_) {
    return;
  }
  for (const auto& subscription : subscriptions_) {
    if (subscription.second == kind) {
      SendEvent(kUnknownGroup, subscription.first, data);
    }
  }
}

void Session::FrameRendered(float frameRate, float simSpeed) {
  BeginFrame(frameRate, simSpeed);
  while (FrameRecords(static_cast<std::size_t>(-1))) {
  }
  EndFrame();
}

void Session::BeginFrame(float frameRate, float simSpeed) {
  followedLastFrame_ = Following();
  commandsAtLastFrame_ = commands_;
  inFrame_ = opened_;
  if (!opened_) {
    return;
  }
  frameValues_ = kValuesPerFrame;
  frameRate_ = frameRate;
  simSpeed_ = simSpeed;
  nextEvent_ = subscriptions_.begin();
  nextRequest_ = requests_.begin();
  builtThisFrame_ = 0;
}

bool Session::FrameRecords(std::size_t most) {
  std::size_t built = 0;
  for (; inFrame_ && nextEvent_ != subscriptions_.end() && built < most; ++nextEvent_) {
    if (nextEvent_->second != SystemEvent::kFrame) {
      continue;
    }
    ++built;
    ++builtThisFrame_;
    JsonLine line = RecordLine("EVENT_FRAME");
    if (reporter_.tracing()) {
      line.Int("event_id", nextEvent_->first).Float("frame_rate", frameRate_);
      line.Float("sim_speed", simSpeed_);
    }
    // A client whose queue is full is not built the records it would lose:
    // a thousand subscriptions of a client that never reads cost a frame
    // next to nothing.
    if (sink_.Refuses(kFrameRecordBytes)) {
      reporter_.Trace(line.Bool("dropped", true));
      continue;
    }
    Send(FrameRecord(Stamp(), nextEvent_->first, frameRate_, simSpeed_), true, line);
  }
  while (inFrame_ && nextRequest_ != requests_.end() && built < most) {
    DataRequest& request = nextRequest_->second;
    if (request.period == SIMCONNECT_PERIOD_ONCE) {
      ++built;
      SendData(request);
      nextRequest_ = requests_.erase(nextRequest_);
      continue;
    }
    if (PerFrame(request)) {
      ++built;
      ++builtThisFrame_;
      SendData(request);
    }
    ++nextRequest_;
  }
  inFrame_ = inFrame_ && (nextEvent_ != subscriptions_.end() || nextRequest_ != requests_.end());
  return inFrame_;
}

void Session::EndFrame() {
  if (!inFrame_) {
    return;
  }
  inFrame_ = false;
  // What the frame's time for records did not reach is late: dropped, as a
  // slow client's frame records are, and counted. (A ONCE request not
  // reached waits for the next frame.)
  const std::uint64_t late = frameSubscriptions_ + frameRequests_ - builtThisFrame_;
  if (late == 0) {
    return;
  }
  reporter_.stats.recordsLate += late;
  if (reporter_.tracing()) {
    JsonLine line = reporter_.Line("late");
    reporter_.Trace(line.Int("client", id_).Int("records", static_cast<std::int64_t>(late)));
  }
}

bool Session::PerFrame(const DataRequest& request) {
  return request.period == SIMCONNECT_PERIOD_VISUAL_FRAME ||
         request.period == SIMCONNECT_PERIOD_SIM_FRAME;
}

void Session::SecondPassed() {
  SystemEventOccurred(SystemEvent::kOneSecond, 0);
  if (!opened_) {
    return;
  }
  frameValues_ = kValuesPerFrame;
  for (auto& entry : requests_) {
    if (entry.second.period == SIMCONNECT_PERIOD_SECOND) {
      SendData(entry.second);
    }
  }
}

void Session::Quit() {
  if (!opened_) {
    return;
  }
  Send(QuitRecord(Stamp()), false, RecordLine("QUIT"));
}

bool Session::Following() const {
  for (const auto& entry : requests_) {
    std::uint32_t period = entry.second.period;
    if (period == SIMCONNECT_PERIOD_VISUAL_FRAME || period == SIMCONNECT_PERIOD_SIM_FRAME) {
      return true;
    }
  }
  return false;
}

JsonLine Session::RecordLine(const char* record) const {
  if (!reporter_.tracing()) {
    return JsonLine();  // records go out at every frame: no stamps built for nothing
  }
  JsonLine line = reporter_.Line("record");
  line.Int("client", id_).Str("record", record);
  return line;
}

void Session::Send(const Bytes& record, bool droppable, JsonLine line) {
  if (!sink_.Deliver(record, droppable)) {
    line.Bool("dropped", true);
  }
  reporter_.Trace(line);
}

void Session::SendEvent(std::uint32_t group, std::uint32_t eventId, std::uint32_t data) {
  JsonLine line = RecordLine("EVENT");
  line.Int("group_id", group).Int("event_id", eventId).Int("data", data);
  Send(EventRecord(Stamp(), group, eventId, data, persona_.eventFlagsWord), false, line);
}

void Session::SendData(DataRequest& request) {
  const std::uint32_t kChangedFlag = 1;
  std::uint64_t period = request.periodsSeen++;
  if (period < request.origin) {
    return;
  }
  if ((period - request.origin) % (static_cast<std::uint64_t>(request.interval) + 1) != 0) {
    return;
  }
  if (request.limit != 0 && request.sent >= request.limit) {
    return;
  }

  const std::vector<Datum>& definition = definitions_[request.defineId];
  if (definition.size() > frameValues_) {
    reporter_.stats.dataDropped++;
    JsonLine line = RecordLine("SIMOBJECT_DATA");
    line.Int("request_id", request.id).Int("define_id", request.defineId);
    reporter_.Trace(line.Bool("dropped", true));
    return;
  }
  frameValues_ -= definition.size();
  std::vector<double> values;
  int bankIndex = -1;
  bool bankInDegrees = false;
  for (const Datum& datum : definition) {
    double degrees = datum.bank ? world_.bankDegrees() : world_.pitchDegrees();
    if (datum.bank && bankIndex < 0) {
      bankIndex = static_cast<int>(values.size());
      bankInDegrees = datum.degrees;
    }
    values.push_back(datum.degrees ? degrees : degrees * kRadiansPerDegree);
  }
  if ((request.flags & kChangedFlag) != 0 && request.sent != 0 && values == request.last) {
    return;
  }
  request.last = values;
  request.sent++;

  JsonLine line = RecordLine("SIMOBJECT_DATA");
  line.Int("request_id", request.id).Int("define_id", request.defineId);
  std::string list;
  for (std::size_t i = 0; i < values.size() && reporter_.tracing(); ++i) {
    list += (list.empty() ? "" : ",") + JsonNumber(values[i]);
  }
  line.Raw("values", "[" + list + "]");
  if (bankIndex >= 0) {
    line.Num("bank", values[static_cast<std::size_t>(bankIndex)]);
    line.Str("bank_unit", bankInDegrees ? "degrees" : "radians");
  }
  bool queued =
      sink_.Deliver(ObjectDataRecord(Stamp(), request.id, request.defineId, values), true);
  if (queued) {
    reporter_.stats.dataRecords++;
    bool perFrame = request.period == SIMCONNECT_PERIOD_VISUAL_FRAME ||
                    request.period == SIMCONNECT_PERIOD_SIM_FRAME;
    if (perFrame && reporter_.latency != nullptr) {
      reporter_.latency->RecordSent(id_, reporter_.frame(), MonotonicNanoseconds());
    }
  } else {
    reporter_.stats.dataDropped++;
    line.Bool("dropped", true);
  }
  reporter_.Trace(line);
}

std::uint32_t Session::GroupOf(std::uint32_t eventId) const {
  auto group = eventGroups_.find(eventId);
  return group == eventGroups_.end() ? kUnknownGroup : group->second;
}

}  // namespace standin
