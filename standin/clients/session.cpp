// Session: the client's packets. Each handler, named after its operation,
// reads the arguments by their names in the packet table (ArgIndex), checks
// them in order and answers the first fault with an exception naming that
// argument's 1-based index; a packet that passes changes the registrations.
#include "standin/clients/session.h"

#include <algorithm>
#include <cctype>

#include "standin/wire/records.h"

namespace standin {

namespace {

const char kPovInput[] = "joystick:0:pov";

// Per-client caps, so that no client's registrations grow the work of a
// frame (or of a packet) without bound. A packet past a cap is refused with
// the exception a simulator gives when its own table of that kind is full.
const std::size_t kMaxEvents = 1000;       // client events and system event subscriptions
const std::size_t kMaxMenuEntries = 1000;  // menu items and sub-items together
const std::size_t kMaxInputMappings = 1000;
const std::size_t kMaxDatums = 1000;    // in all data definitions together
const std::size_t kMaxRequests = 1000;  // data requests in force

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

bool SystemEventByName(const std::string& name, SystemEvent* kind) {
  std::string lower = Lower(name);
  if (lower == "pause") {
    *kind = SystemEvent::kPause;
  } else if (lower == "view") {
    *kind = SystemEvent::kView;
  } else if (lower == "1sec") {
    *kind = SystemEvent::kOneSecond;
  } else if (lower == "frame") {
    *kind = SystemEvent::kFrame;
  } else {
    return false;
  }
  return true;
}

}  // namespace

Session::Session(int id, RecordSink& sink, World& world, Reporter& reporter, const Persona& persona)
    : id_(id), sink_(sink), world_(world), reporter_(reporter), persona_(persona) {}

void Session::HandlePacket(const std::uint8_t* data, std::size_t size) {
  reporter_.BeginPacket(id_);
  HandleWhole(data, size);
  reporter_.EndPacket();
}

void Session::HandleWhole(const std::uint8_t* data, std::size_t size) {
  Packet p;
  DecodeResult result = DecodePacket(data, size, &p);
  reporter_.TracePacket(id_, p);
  if (ignored_) {
    return;  // no record, no exception: the client has to notice by itself
  }
  if (result == DecodeResult::kUnknownType) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kUnknownIndex);
  }
  if (result == DecodeResult::kSizeMismatch) {
    return Fail(p, SIMCONNECT_EXCEPTION_SIZE_MISMATCH, kUnknownIndex);
  }
  // Decoded, the packet has its layout, whose id is always one of the list's.
  const wire::FunctionId function = p.layout->functionId;
  if (function != wire::kOpen && !opened_) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNOPENED, kUnknownIndex);
  }
  switch (function) {
#define VANTILO_SESSION_DISPATCH(name, value) \
  case wire::k##name:                         \
    return name(p);
    VANTILO_WIRE_FUNCTIONS(VANTILO_SESSION_DISPATCH)
#undef VANTILO_SESSION_DISPATCH
  }
}

void Session::Open(const Packet& p) {
  constexpr std::size_t kApplicationName = ArgIndex(wire::kOpen, "application_name");
  if (opened_) {
    return Fail(p, SIMCONNECT_EXCEPTION_ERROR, kUnknownIndex);
  }
  if (!Serves(persona_, p.protocol)) {
    return RefuseOpen(p);
  }
  opened_ = true;
  protocol_ = p.protocol;
  name_ = p.Text(kApplicationName);
  if (reporter_.latency != nullptr) {
    reporter_.latency->ClientOpened(id_, name_);
  }
  OpenFields fields = OpenFieldsFor(persona_, protocol_);
  JsonLine line = RecordLine("OPEN");
  line.Str("application_name", fields.applicationName)
      .Int("version_major", fields.applicationVersionMajor);
  Send(OpenRecord(Stamp(), fields), false, line);
  std::string served = "'" + name_ + "' connected, protocol " + std::to_string(protocol_);
  if (persona_.name != DefaultPersona().name) {
    served += " (" + persona_.name;
    served += Stamp() != protocol_ ? ", records stamped " + std::to_string(Stamp()) + ")" : ")";
  }
  Note(served);
}

void Session::RefuseOpen(const Packet& p) {
  std::string refused = "Open with protocol " + std::to_string(p.protocol) + " refused";
  if (persona_.ignoresRefusedClients) {
    refused += "; its later packets are ignored";
  }
  reporter_.NoteRepeated(id_, "Open refusals", refused);
  Fail(p, SIMCONNECT_EXCEPTION_VERSION_MISMATCH, kUnknownIndex);
  ignored_ = persona_.ignoresRefusedClients;
}

void Session::MapClientEventToSimEvent(const Packet& p) {
  constexpr wire::FunctionId kFunction = wire::kMapClientEventToSimEvent;
  constexpr std::size_t kEventId = ArgIndex(kFunction, "event_id");
  constexpr std::size_t kEventName = ArgIndex(kFunction, "event_name");
  if (EventIdInUse(p.U32(kEventId))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, kEventId);
  }
  // The stand-in has no simulator events of its own: only private events map.
  if (!p.Text(kEventName).empty()) {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, kEventName);
  }
  if (clientEvents_.size() + subscriptions_.size() >= kMaxEvents) {
    return Fail(p, kExceptionTooManyEventNames, kEventId);
  }
  clientEvents_.insert(p.U32(kEventId));
}

void Session::AddClientEventToNotificationGroup(const Packet& p) {
  constexpr wire::FunctionId kFunction = wire::kAddClientEventToNotificationGroup;
  constexpr std::size_t kGroupId = ArgIndex(kFunction, "group_id");
  constexpr std::size_t kEventId = ArgIndex(kFunction, "event_id");
  std::uint32_t eventId = p.U32(kEventId);
  if (clientEvents_.count(eventId) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kEventId);
  }
  if (eventGroups_.count(eventId) != 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, kEventId);
  }
  eventGroups_[eventId] = p.U32(kGroupId);
}

void Session::MapInputEventToClientEvent(const Packet& p) {
  constexpr wire::FunctionId kFunction = wire::kMapInputEventToClientEvent;
  constexpr std::size_t kGroupId = ArgIndex(kFunction, "group_id");
  constexpr std::size_t kInputDefinition = ArgIndex(kFunction, "input_definition");
  constexpr std::size_t kDownEventId = ArgIndex(kFunction, "down_event_id");
  constexpr std::size_t kDownValue = ArgIndex(kFunction, "down_value");
  constexpr std::size_t kUpEventId = ArgIndex(kFunction, "up_event_id");
  constexpr std::size_t kUpValue = ArgIndex(kFunction, "up_value");
  std::uint32_t group = p.U32(kGroupId);
  if (Lower(p.Text(kInputDefinition)) != kPovInput) {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, kInputDefinition);
  }
  for (const InputMapping& mapping : inputMappings_) {
    if (mapping.group == group) {
      return Fail(p, SIMCONNECT_EXCEPTION_DUPLICATE_ID, kInputDefinition);
    }
  }
  if (clientEvents_.count(p.U32(kDownEventId)) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kDownEventId);
  }
  if (p.U32(kUpEventId) != SIMCONNECT_UNUSED && clientEvents_.count(p.U32(kUpEventId)) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kUpEventId);
  }
  if (inputMappings_.size() >= kMaxInputMappings) {
    return Fail(p, kExceptionTooManyMaps, kGroupId);
  }
  inputMappings_.push_back(
      {group, p.U32(kDownEventId), p.U32(kDownValue), p.U32(kUpEventId), p.U32(kUpValue)});
  inputGroupsOn_.emplace(group, false);  // input groups start off
}

void Session::SetInputGroupState(const Packet& p) {
  constexpr std::size_t kGroupId = ArgIndex(wire::kSetInputGroupState, "group_id");
  constexpr std::size_t kState = ArgIndex(wire::kSetInputGroupState, "state");
  auto group = inputGroupsOn_.find(p.U32(kGroupId));
  if (group == inputGroupsOn_.end()) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kGroupId);
  }
  if (p.U32(kState) > SIMCONNECT_STATE_ON) {
    return Fail(p, kExceptionInvalidEnum, kState);
  }
  group->second = p.U32(kState) == SIMCONNECT_STATE_ON;
}

void Session::SubscribeToSystemEvent(const Packet& p) {
  constexpr std::size_t kEventId = ArgIndex(wire::kSubscribeToSystemEvent, "event_id");
  constexpr std::size_t kEventName = ArgIndex(wire::kSubscribeToSystemEvent, "event_name");
  if (EventIdInUse(p.U32(kEventId))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, kEventId);
  }
  SystemEvent kind;
  if (!SystemEventByName(p.Text(kEventName), &kind)) {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, kEventName);
  }
  if (clientEvents_.size() + subscriptions_.size() >= kMaxEvents) {
    return Fail(p, kExceptionTooManyEventNames, kEventId);
  }
  subscriptions_[p.U32(kEventId)] = kind;
  frameSubscriptions_ += kind == SystemEvent::kFrame;
}

void Session::AddToDataDefinition(const Packet& p) {
  constexpr wire::FunctionId kFunction = wire::kAddToDataDefinition;
  constexpr std::size_t kDefineId = ArgIndex(kFunction, "define_id");
  constexpr std::size_t kDatumName = ArgIndex(kFunction, "datum_name");
  constexpr std::size_t kUnitsName = ArgIndex(kFunction, "units_name");
  constexpr std::size_t kDatumType = ArgIndex(kFunction, "datum_type");
  constexpr std::size_t kDatumId = ArgIndex(kFunction, "datum_id");
  Datum datum;
  std::string name = Lower(p.Text(kDatumName));
  std::string unit = Lower(p.Text(kUnitsName));
  if (name != "plane bank degrees" && name != "plane pitch degrees") {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, kDatumName);
  }
  datum.bank = name == "plane bank degrees";
  if (unit == "radians" || unit == "radian") {
    datum.degrees = false;
  } else if (unit == "degrees" || unit == "degree") {
    datum.degrees = true;
  } else {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, kUnitsName);
  }
  if (p.U32(kDatumType) != SIMCONNECT_DATATYPE_FLOAT64) {
    return Fail(p, kExceptionInvalidDataType, kDatumType);
  }
  datum.datumId = p.U32(kDatumId);
  if (datumCount_ >= kMaxDatums) {
    return Fail(p, kExceptionTooManyRequests, kDefineId);
  }
  std::vector<Datum>& definition = definitions_[p.U32(kDefineId)];
  for (const Datum& other : definition) {
    if (datum.datumId != SIMCONNECT_UNUSED && other.datumId == datum.datumId) {
      return Fail(p, SIMCONNECT_EXCEPTION_DUPLICATE_ID, kDatumId);
    }
  }
  definition.push_back(datum);
  ++datumCount_;
}

void Session::RequestDataOnSimObject(const Packet& p) {
  constexpr wire::FunctionId kFunction = wire::kRequestDataOnSimObject;
  constexpr std::size_t kRequestId = ArgIndex(kFunction, "request_id");
  constexpr std::size_t kDefineId = ArgIndex(kFunction, "define_id");
  constexpr std::size_t kObjectId = ArgIndex(kFunction, "object_id");
  constexpr std::size_t kPeriod = ArgIndex(kFunction, "period");
  constexpr std::size_t kFlags = ArgIndex(kFunction, "flags");
  constexpr std::size_t kOrigin = ArgIndex(kFunction, "origin");
  constexpr std::size_t kInterval = ArgIndex(kFunction, "interval");
  constexpr std::size_t kLimit = ArgIndex(kFunction, "limit");
  const std::uint32_t kChangedFlag = 1;
  if (definitions_.count(p.U32(kDefineId)) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kDefineId);
  }
  if (p.U32(kObjectId) != SIMCONNECT_OBJECT_ID_USER && p.U32(kObjectId) != kUserObjectId) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kObjectId);
  }
  if (p.U32(kPeriod) > SIMCONNECT_PERIOD_SECOND) {
    return Fail(p, kExceptionInvalidEnum, kPeriod);
  }
  if ((p.U32(kFlags) & ~kChangedFlag) != 0) {
    return Fail(p, kExceptionInvalidEnum, kFlags);
  }
  // A request id asked again replaces the request; NEVER ends it.
  const auto replaced = requests_.find(p.U32(kRequestId));
  const bool replaces = replaced != requests_.end();
  if (replaces) {
    frameRequests_ -= PerFrame(replaced->second);
    requests_.erase(replaced);
  }
  const bool never = p.U32(kPeriod) == SIMCONNECT_PERIOD_NEVER;
  if (!replaces && !never && requests_.size() >= kMaxRequests) {
    return Fail(p, kExceptionTooManyRequests, kRequestId);
  }
  if (never) {
    return;
  }
  DataRequest request;
  request.id = p.U32(kRequestId);
  request.defineId = p.U32(kDefineId);
  request.period = p.U32(kPeriod);
  request.flags = p.U32(kFlags);
  request.origin = p.U32(kOrigin);
  request.interval = p.U32(kInterval);
  request.limit = p.U32(kLimit);
  requests_.emplace(request.id, request);
  frameRequests_ += PerFrame(request);
}

void Session::CameraSetRelative6DOF(const Packet& p) {
  // The six values in the packet's order, which is World::ApplyCamera's.
  constexpr std::size_t kDeltaX = ArgIndex(wire::kCameraSetRelative6DOF, "delta_x");
  constexpr std::size_t kHeading = ArgIndex(wire::kCameraSetRelative6DOF, "heading");
  static_assert(kHeading == kDeltaX + 5, "delta x, y, z, pitch, bank, heading in a row");
  ++commands_;
  float values[6];
  for (std::size_t i = 0; i < 6; ++i) {
    values[i] = p.F32(kDeltaX + i);
  }
  if (persona_.cameraMoves) {
    if (reporter_.latency != nullptr) {
      reporter_.latency->CommandApplied(id_, MonotonicNanoseconds());
    }
    world_.ApplyCamera(id_, values);
    reporter_.stats.cameraCommands++;
  } else {
    world_.IgnoreCamera(id_);
    reporter_.stats.cameraIgnored++;
    if (!cameraIgnoredNoted_) {
      cameraIgnoredNoted_ = true;
      Note("camera commands ignored (" + persona_.name + " does not move its camera for them)");
    }
  }
  const char* names[6] = {"delta_x", "delta_y", "delta_z", "pitch", "bank", "heading"};
  JsonLine line = reporter_.Line("camera");
  line.Int("client", id_);
  for (std::size_t i = 0; i < 6; ++i) {
    line.Float(names[i], values[i]);
  }
  line.Str("heading_bits", Hex32(FloatBits(values[5])));
  if (!persona_.cameraMoves) {
    line.Bool("ignored", true);
  }
  reporter_.Trace(line);
}

void Session::MenuAddItem(const Packet& p) {
  constexpr std::size_t kText = ArgIndex(wire::kMenuAddItem, "text");
  constexpr std::size_t kMenuEventId = ArgIndex(wire::kMenuAddItem, "menu_event_id");
  constexpr std::size_t kData = ArgIndex(wire::kMenuAddItem, "data");
  if (MenuIdInUse(p.U32(kMenuEventId))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, kMenuEventId);
  }
  if (menuEntries_ >= kMaxMenuEntries) {
    return Fail(p, kExceptionTooManyEventNames, kMenuEventId);
  }
  menus_.push_back({p.U32(kMenuEventId), p.Text(kText), p.U32(kData), {}});
  ++menuEntries_;
  reporter_.NoteRepeated(id_, "menus added", "menu '" + p.Text(kText) + "' added");
}

void Session::MenuAddSubItem(const Packet& p) {
  constexpr wire::FunctionId kFunction = wire::kMenuAddSubItem;
  constexpr std::size_t kMenuEventId = ArgIndex(kFunction, "menu_event_id");
  constexpr std::size_t kText = ArgIndex(kFunction, "text");
  constexpr std::size_t kSubMenuEventId = ArgIndex(kFunction, "sub_menu_event_id");
  constexpr std::size_t kData = ArgIndex(kFunction, "data");
  MenuItem* menu = FindMenu(p.U32(kMenuEventId));
  if (menu == nullptr) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kMenuEventId);
  }
  if (MenuIdInUse(p.U32(kSubMenuEventId))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, kSubMenuEventId);
  }
  if (menuEntries_ >= kMaxMenuEntries) {
    return Fail(p, kExceptionTooManyEventNames, kSubMenuEventId);
  }
  menu->subItems.push_back({p.U32(kSubMenuEventId), p.Text(kText), p.U32(kData)});
  ++menuEntries_;
  reporter_.NoteRepeated(id_, "menu items added",
                         "menu '" + menu->text + "' got '" + p.Text(kText) + "'");
}

void Session::MenuDeleteItem(const Packet& p) {
  constexpr std::size_t kMenuEventId = ArgIndex(wire::kMenuDeleteItem, "menu_event_id");
  MenuItem* menu = FindMenu(p.U32(kMenuEventId));
  if (menu == nullptr) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kMenuEventId);
  }
  reporter_.NoteRepeated(id_, "menus removed", "menu '" + menu->text + "' removed");
  menuEntries_ -= 1 + menu->subItems.size();
  menus_.erase(menus_.begin() + (menu - menus_.data()));
}

void Session::MenuDeleteSubItem(const Packet& p) {
  constexpr std::size_t kMenuEventId = ArgIndex(wire::kMenuDeleteSubItem, "menu_event_id");
  constexpr std::size_t kSubMenuEventId = ArgIndex(wire::kMenuDeleteSubItem, "sub_menu_event_id");
  MenuItem* menu = FindMenu(p.U32(kMenuEventId));
  if (menu == nullptr) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kMenuEventId);
  }
  const std::uint32_t subId = p.U32(kSubMenuEventId);
  auto& items = menu->subItems;
  auto item = std::find_if(items.begin(), items.end(),
                           [subId](const MenuSubItem& sub) { return sub.id == subId; });
  if (item == items.end()) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, kSubMenuEventId);
  }
  reporter_.NoteRepeated(id_, "menu items removed",
                         "menu '" + menu->text + "' lost '" + item->text + "'");
  items.erase(item);
  --menuEntries_;
}

void Session::Fail(const Packet& p, std::uint32_t code, std::uint32_t index) {
  std::uint32_t protocol = RecordProtocol(persona_, opened_ ? protocol_ : p.protocol);
  JsonLine line = RecordLine("EXCEPTION");
  line.Int("exception", code).Str("exception_name", ExceptionName(code));
  line.Int("send_id", p.sendId).Int("index", index);
  Send(ExceptionRecord(protocol, code, p.sendId, index), false, line);
  reporter_.stats.exceptions++;
  std::string packet = p.layout ? p.layout->name : Hex32(p.type);
  std::string where = index == kUnknownIndex ? "" : ", argument " + std::to_string(index);
  reporter_.NoteRepeated(id_, ExceptionName(code) + " exceptions",
                         "exception " + ExceptionName(code) + " for " + packet + " (send id " +
                             std::to_string(p.sendId) + where + ")");
}

std::uint32_t Session::Stamp() const { return RecordProtocol(persona_, protocol_); }

bool Session::EventIdInUse(std::uint32_t eventId) const {
  return clientEvents_.count(eventId) != 0 || subscriptions_.count(eventId) != 0;
}

bool Session::MenuIdInUse(std::uint32_t menuId) const {
  for (const MenuItem& menu : menus_) {
    if (menu.id == menuId) {
      return true;
    }
    for (const MenuSubItem& sub : menu.subItems) {
      if (sub.id == menuId) {
        return true;
      }
    }
  }
  return false;
}

MenuItem* Session::FindMenu(std::uint32_t menuId) {
  for (MenuItem& menu : menus_) {
    if (menu.id == menuId) {
      return &menu;
    }
  }
  return nullptr;
}

void Session::Note(const std::string& text) {
  reporter_.Note("client " + std::to_string(id_) + ": " + text);
}

}  // namespace standin
