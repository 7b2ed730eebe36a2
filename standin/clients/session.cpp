// Session: the client's packets. Each handler checks its arguments in order
// and answers the first fault with an exception naming that argument's
// 1-based index; a packet that passes changes the registrations.
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
  // Decoded, the packet has its layout, whose id is always an enumerator:
  // the switch sees no other value and names each (no default, so -Wswitch
  // names a function id left out).
  const wire::FunctionId function = p.layout->functionId;
  if (function != wire::kOpen && !opened_) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNOPENED, kUnknownIndex);
  }
  switch (function) {
    case wire::kOpen:
      return HandleOpen(p);
    case wire::kMapClientEventToSimEvent:
      return MapClientEvent(p);
    case wire::kAddClientEventToNotificationGroup:
      return AddToNotificationGroup(p);
    case wire::kMapInputEventToClientEvent:
      return MapInputEvent(p);
    case wire::kSetInputGroupState:
      return SetInputGroupState(p);
    case wire::kSubscribeToSystemEvent:
      return Subscribe(p);
    case wire::kAddToDataDefinition:
      return AddToDataDefinition(p);
    case wire::kRequestDataOnSimObject:
      return RequestData(p);
    case wire::kCameraSetRelative6DOF:
      return SetCamera(p);
    case wire::kMenuAddItem:
      return MenuAddItem(p);
    case wire::kMenuAddSubItem:
      return MenuAddSubItem(p);
    case wire::kMenuDeleteItem:
      return MenuDeleteItem(p);
    case wire::kMenuDeleteSubItem:
      return MenuDeleteSubItem(p);
  }
}

void Session::HandleOpen(const Packet& p) {
  if (opened_) {
    return Fail(p, SIMCONNECT_EXCEPTION_ERROR, kUnknownIndex);
  }
  if (!Serves(persona_, p.protocol)) {
    return RefuseOpen(p);
  }
  opened_ = true;
  protocol_ = p.protocol;
  name_ = p.Text(1);
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

void Session::MapClientEvent(const Packet& p) {
  if (EventIdInUse(p.U32(1))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, 1);
  }
  // The stand-in has no simulator events of its own: only private events map.
  if (!p.Text(2).empty()) {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2);
  }
  if (clientEvents_.size() + subscriptions_.size() >= kMaxEvents) {
    return Fail(p, kExceptionTooManyEventNames, 1);
  }
  clientEvents_.insert(p.U32(1));
}

void Session::AddToNotificationGroup(const Packet& p) {
  std::uint32_t eventId = p.U32(2);
  if (clientEvents_.count(eventId) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2);
  }
  if (eventGroups_.count(eventId) != 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, 2);
  }
  eventGroups_[eventId] = p.U32(1);
}

void Session::MapInputEvent(const Packet& p) {
  std::uint32_t group = p.U32(1);
  if (Lower(p.Text(2)) != kPovInput) {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2);
  }
  for (const InputMapping& mapping : inputMappings_) {
    if (mapping.group == group) {
      return Fail(p, SIMCONNECT_EXCEPTION_DUPLICATE_ID, 2);
    }
  }
  if (clientEvents_.count(p.U32(3)) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3);
  }
  if (p.U32(5) != SIMCONNECT_UNUSED && clientEvents_.count(p.U32(5)) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 5);
  }
  if (inputMappings_.size() >= kMaxInputMappings) {
    return Fail(p, kExceptionTooManyMaps, 1);
  }
  inputMappings_.push_back({group, p.U32(3), p.U32(4), p.U32(5), p.U32(6)});
  inputGroupsOn_.emplace(group, false);  // input groups start off
}

void Session::SetInputGroupState(const Packet& p) {
  auto group = inputGroupsOn_.find(p.U32(1));
  if (group == inputGroupsOn_.end()) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1);
  }
  if (p.U32(2) > SIMCONNECT_STATE_ON) {
    return Fail(p, kExceptionInvalidEnum, 2);
  }
  group->second = p.U32(2) == SIMCONNECT_STATE_ON;
}

void Session::Subscribe(const Packet& p) {
  if (EventIdInUse(p.U32(1))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, 1);
  }
  SystemEvent kind;
  if (!SystemEventByName(p.Text(2), &kind)) {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2);
  }
  if (clientEvents_.size() + subscriptions_.size() >= kMaxEvents) {
    return Fail(p, kExceptionTooManyEventNames, 1);
  }
  subscriptions_[p.U32(1)] = kind;
  frameSubscriptions_ += kind == SystemEvent::kFrame;
}

void Session::AddToDataDefinition(const Packet& p) {
  Datum datum;
  std::string name = Lower(p.Text(2));
  std::string unit = Lower(p.Text(3));
  if (name != "plane bank degrees" && name != "plane pitch degrees") {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2);
  }
  datum.bank = name == "plane bank degrees";
  if (unit == "radians" || unit == "radian") {
    datum.degrees = false;
  } else if (unit == "degrees" || unit == "degree") {
    datum.degrees = true;
  } else {
    return Fail(p, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 3);
  }
  if (p.U32(4) != SIMCONNECT_DATATYPE_FLOAT64) {
    return Fail(p, kExceptionInvalidDataType, 4);
  }
  datum.datumId = p.U32(6);
  if (datumCount_ >= kMaxDatums) {
    return Fail(p, kExceptionTooManyRequests, 1);
  }
  std::vector<Datum>& definition = definitions_[p.U32(1)];
  for (const Datum& other : definition) {
    if (datum.datumId != SIMCONNECT_UNUSED && other.datumId == datum.datumId) {
      return Fail(p, SIMCONNECT_EXCEPTION_DUPLICATE_ID, 6);
    }
  }
  definition.push_back(datum);
  ++datumCount_;
}

void Session::RequestData(const Packet& p) {
  const std::uint32_t kChangedFlag = 1;
  if (definitions_.count(p.U32(2)) == 0) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2);
  }
  if (p.U32(3) != SIMCONNECT_OBJECT_ID_USER && p.U32(3) != kUserObjectId) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3);
  }
  if (p.U32(4) > SIMCONNECT_PERIOD_SECOND) {
    return Fail(p, kExceptionInvalidEnum, 4);
  }
  if ((p.U32(5) & ~kChangedFlag) != 0) {
    return Fail(p, kExceptionInvalidEnum, 5);
  }
  // A request id asked again replaces the request; NEVER ends it.
  const auto replaced = requests_.find(p.U32(1));
  const bool replaces = replaced != requests_.end();
  if (replaces) {
    frameRequests_ -= PerFrame(replaced->second);
    requests_.erase(replaced);
  }
  if (!replaces && p.U32(4) != SIMCONNECT_PERIOD_NEVER && requests_.size() >= kMaxRequests) {
    return Fail(p, kExceptionTooManyRequests, 1);
  }
  if (p.U32(4) == SIMCONNECT_PERIOD_NEVER) {
    return;
  }
  DataRequest request;
  request.id = p.U32(1);
  request.defineId = p.U32(2);
  request.period = p.U32(4);
  request.flags = p.U32(5);
  request.origin = p.U32(6);
  request.interval = p.U32(7);
  request.limit = p.U32(8);
  requests_.emplace(request.id, request);
  frameRequests_ += PerFrame(request);
}

void Session::SetCamera(const Packet& p) {
  ++commands_;
  float values[6];
  for (std::size_t i = 0; i < 6; ++i) {
    values[i] = p.F32(i + 1);
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
  if (MenuIdInUse(p.U32(2))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, 2);
  }
  if (menuEntries_ >= kMaxMenuEntries) {
    return Fail(p, kExceptionTooManyEventNames, 2);
  }
  menus_.push_back({p.U32(2), p.Text(1), p.U32(3), {}});
  ++menuEntries_;
  reporter_.NoteRepeated(id_, "menus added", "menu '" + p.Text(1) + "' added");
}

void Session::MenuAddSubItem(const Packet& p) {
  MenuItem* menu = FindMenu(p.U32(1));
  if (menu == nullptr) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1);
  }
  if (MenuIdInUse(p.U32(3))) {
    return Fail(p, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, 3);
  }
  if (menuEntries_ >= kMaxMenuEntries) {
    return Fail(p, kExceptionTooManyEventNames, 3);
  }
  menu->subItems.push_back({p.U32(3), p.Text(2), p.U32(4)});
  ++menuEntries_;
  reporter_.NoteRepeated(id_, "menu items added",
                         "menu '" + menu->text + "' got '" + p.Text(2) + "'");
}

void Session::MenuDeleteItem(const Packet& p) {
  MenuItem* menu = FindMenu(p.U32(1));
  if (menu == nullptr) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1);
  }
  reporter_.NoteRepeated(id_, "menus removed", "menu '" + menu->text + "' removed");
  menuEntries_ -= 1 + menu->subItems.size();
  menus_.erase(menus_.begin() + (menu - menus_.data()));
}

void Session::MenuDeleteSubItem(const Packet& p) {
  MenuItem* menu = FindMenu(p.U32(1));
  if (menu == nullptr) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1);
  }
  auto& items = menu->subItems;
  auto item = std::find_if(items.begin(), items.end(),
                           [&](const MenuSubItem& sub) { return sub.id == p.U32(2); });
  if (item == items.end()) {
    return Fail(p, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2);
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
