// One client's session: what it has registered (menus, client events, input
// mappings, notification groups, subscriptions, data definitions and
// requests), its packets answered as the simulator would (exceptions with
// the packet's send id and the argument's index), and the world's happenings
// delivered to it as records. Knows nothing of sockets: records go to a sink.
#ifndef VANTILO_STANDIN_CLIENTS_SESSION_H
#define VANTILO_STANDIN_CLIENTS_SESSION_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "standin/log/reporter.h"
#include "standin/wire/bytes.h"
#include "standin/wire/packets.h"
#include "standin/wire/persona.h"
#include "standin/world/world.h"

namespace standin {

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Queues a record for the client. A droppable record (frame data) may be
  // refused when the client is not reading; returns whether it was queued.
  virtual bool Deliver(const Bytes& record, bool droppable) = 0;
  // Whether a droppable record of that size would be refused now.
  virtual bool Refuses(std::size_t /*bytes*/) const { return false; }
};

struct MenuSubItem {
  std::uint32_t id;
  std::string text;
  std::uint32_t data;
};

struct MenuItem {
  std::uint32_t id;
  std::string text;
  std::uint32_t data;
  std::vector<MenuSubItem> subItems;
};

enum class SystemEvent { kPause, kView, kOneSecond, kFrame };

class Session {
 public:
  // persona outlives the session (the personas are static).
  Session(int id, RecordSink& sink, World& world, Reporter& reporter,
          const Persona& persona = DefaultPersona());

  // One whole packet from the client's stream (16 bytes or more).
  void HandlePacket(const std::uint8_t* data, std::size_t size);

  // The world's happenings, each delivered as this client registered for it.
  void Hat();
  bool ChooseMenu(const std::string& text);  // false when it has no such entry
  void SystemEventOccurred(SystemEvent kind, std::uint32_t data);
  // All of a frame's records at once.
  void FrameRendered(float frameRate, float simSpeed);
  // The same a few at a time, so that the simulator can share a frame's
  // time among the clients: BeginFrame, then FrameRecords (at most most
  // records; true while some are left) until none are left or the time is
  // up, then EndFrame, which drops and counts the rest as late.
  void BeginFrame(float frameRate, float simSpeed);
  bool FrameRecords(std::size_t most);
  void EndFrame();
  void SecondPassed();
  void Quit();

  int id() const { return id_; }
  bool opened() const { return opened_; }
  const std::string& name() const { return name_; }
  std::uint32_t protocol() const { return protocol_; }
  const Persona& persona() const { return persona_; }
  const std::vector<MenuItem>& menus() const { return menus_; }
  // Whether it has a data request answered every frame.
  bool Following() const;
  // Whether it followed the last frame rendered and has sent no camera
  // command since (asked before the next frame's records).
  bool LastFrameUnanswered() const {
    return followedLastFrame_ && commands_ == commandsAtLastFrame_;
  }

 private:
  void HandleWhole(const std::uint8_t* data, std::size_t size);

  struct InputMapping {
    std::uint32_t group;
    std::uint32_t downEvent;
    std::uint32_t downValue;
    std::uint32_t upEvent;
    std::uint32_t upValue;
  };
  struct Datum {
    bool bank;     // else pitch
    bool degrees;  // else radians
    std::uint32_t datumId;
  };
  struct DataRequest {
    std::uint32_t id;
    std::uint32_t defineId;
    std::uint32_t period;
    std::uint32_t flags;
    std::uint32_t origin;
    std::uint32_t interval;
    std::uint32_t limit;
    std::uint64_t periodsSeen = 0;
    std::uint64_t sent = 0;
    std::vector<double> last;
  };

  // Packet handlers, one for each function of wire.h's list and named after
  // its operation; each returns after sending at most one exception.
#define VANTILO_SESSION_HANDLER(name, value) void name(const Packet& p);
  VANTILO_WIRE_FUNCTIONS(VANTILO_SESSION_HANDLER)
#undef VANTILO_SESSION_HANDLER

  void Fail(const Packet& p, std::uint32_t code, std::uint32_t index);
  void RefuseOpen(const Packet& p);
  // The protocol number in this client's record headers.
  std::uint32_t Stamp() const;
  JsonLine RecordLine(const char* record) const;
  void Send(const Bytes& record, bool droppable, JsonLine line);
  void SendEvent(std::uint32_t group, std::uint32_t eventId, std::uint32_t data);
  void SendData(DataRequest& request);  // one period of the request
  static bool PerFrame(const DataRequest& request);
  std::uint32_t GroupOf(std::uint32_t eventId) const;
  bool EventIdInUse(std::uint32_t eventId) const;
  bool MenuIdInUse(std::uint32_t menuId) const;
  MenuItem* FindMenu(std::uint32_t menuId);
  void Note(const std::string& text);

  int id_;
  RecordSink& sink_;
  World& world_;
  Reporter& reporter_;
  const Persona& persona_;
  bool opened_ = false;
  bool ignored_ = false;  // refused by a persona that ignores its packets from then on
  bool cameraIgnoredNoted_ = false;
  std::uint64_t commands_ = 0;  // camera commands received, applied or ignored
  bool followedLastFrame_ = false;
  std::uint64_t commandsAtLastFrame_ = 0;
  std::uint32_t protocol_ = 0;
  std::string name_;

  std::vector<MenuItem> menus_;
  std::set<std::uint32_t> clientEvents_;                // mapped with MapClientEventToSimEvent
  std::map<std::uint32_t, SystemEvent> subscriptions_;  // event id -> system event
  std::map<std::uint32_t, std::uint32_t> eventGroups_;  // event id -> notification group
  std::vector<InputMapping> inputMappings_;             // all on "joystick:0:POV"
  std::map<std::uint32_t, bool> inputGroupsOn_;         // input group -> state
  std::map<std::uint32_t, std::vector<Datum>> definitions_;
  std::map<std::uint32_t, DataRequest> requests_;
  std::size_t menuEntries_ = 0;  // items and sub-items
  std::size_t datumCount_ = 0;   // in all definitions
  std::size_t frameValues_ = 0;  // data values still to build in this frame
  // The frame being built: where its records go on from.
  bool inFrame_ = false;
  float frameRate_ = 0.0f;
  float simSpeed_ = 0.0f;
  std::map<std::uint32_t, SystemEvent>::iterator nextEvent_;
  std::map<std::uint32_t, DataRequest>::iterator nextRequest_;
  // Each frame's records due, kept as registered, so that the late ones are
  // counted without a walk through the rest: "Frame" subscriptions and
  // per-frame requests, and of them how many this frame has built.
  std::size_t frameSubscriptions_ = 0;
  std::size_t frameRequests_ = 0;
  std::size_t builtThisFrame_ = 0;
};

}  // namespace standin

#endif
