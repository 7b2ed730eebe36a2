// The SimConnect operations over TCP or a named pipe. One connection per
// process: the handle the open gives out points at it. The open goes where
// SimConnect.cfg says or, without one, to the simulator that discovery.h
// finds. Each operation sends one packet; CallDispatch cuts the bytes read
// into records and hands them over; a lost connection becomes one quit
// record of ours, after which every call but Close fails. Which protocol a
// connection speaks, and whether a refusal opens it again at another, is
// negotiation.h's to say; against a simulator that serves kProtocol nothing
// on the wire differs from a link without a fallback.
#include <cstdio>
#include <string>

#include "hostlink/net/config.h"
#include "hostlink/net/connection.h"
#include "hostlink/net/discovery.h"
#include "hostlink/net/negotiation.h"
#include "hostlink/net/packets.h"
#include "hostlink/net/reassembly.h"
#include "hostlink/net/wire.h"
#include "hostlink/simconnect.h"

namespace {

using namespace vantilo_net;

const HRESULT kOk = 0;
const HRESULT kFail = static_cast<HRESULT>(0x80004005u);  // E_FAIL

// Most bytes one CallDispatch reads, so a flooding server cannot keep the
// program inside dispatch forever.
const std::size_t kMaxReadPerDispatch = 1024 * 1024;

enum class LinkState {
  kClosed,        // never opened, or closed
  kOpen,          // connected
  kLost,          // connection gone; the quit record is still to be delivered
  kQuitDelivered  // connection gone and reported; only Close is left
};

struct Link {
  Connection connection;
  Bytes arrived;  // one dispatch's bytes, on their way into the splitter
  RecordSplitter splitter;
  LinkState state = LinkState::kClosed;
  std::uint32_t nextSendId = 1;
  std::uint32_t generation = 0;  // counts opens, so dispatch notices a re-open
  bool dispatching = false;

  LinkSettings settings;  // where the open went, to open again
  Negotiation negotiation;
};

Link theLink;

// The link behind a handle, if the handle is ours and not closed.
Link* LinkOf(HANDLE handle) {
  if (handle != &theLink || theLink.state == LinkState::kClosed) {
    return nullptr;
  }
  return &theLink;
}

void MarkLost(Link* link) {
  link->connection.Close();
  if (link->state == LinkState::kOpen) {
    link->state = LinkState::kLost;
  }
}

// Whether a failed send means the simulator closed the connection (rather
// than stopped reading), before it had answered the Open.
bool ClosedWhileNegotiating(const Link& link, SendResult result) {
  return AwaitingAnswer(link.negotiation) && result == SendResult::kFailed;
}

// After a refusal: a fresh connection, and every kept packet sent again on
// it as the negotiation says, or the negotiation's line on standard error.
// False when the link is to count as lost.
bool OpenAgain(Link* link, Refusal refusal) {
  const std::string where = link->connection.where();
  link->connection.Close();
  link->splitter = RecordSplitter();
  std::string line;
  if (!RetryAtFallback(&link->negotiation, refusal, &line)) {
    std::fprintf(stderr, "%s %s\n", where.c_str(), line.c_str());
    return false;
  }
  std::string problem;
  if (!link->connection.Connect(link->settings, &problem)) {
    line = FallbackFailed(&link->negotiation, problem);
    std::fprintf(stderr, "%s %s\n", where.c_str(), line.c_str());
    return false;
  }
  for (const Bytes& packet : link->negotiation.kept) {
    const SendResult result = link->connection.Send(packet);
    if (result != SendResult::kSent) {
      if (ClosedWhileNegotiating(*link, result)) {
        return OpenAgain(link, Refusal::kClosed);
      }
      EndNegotiation(&link->negotiation);
      return false;
    }
  }
  return true;
}

// Encodes the function's packet with the next send id and sends it at the
// link's protocol.
template <wire::FunctionId Function, typename... Args>
HRESULT SendCall(HANDLE handle, Args... args) {
  Link* link = LinkOf(handle);
  if (link == nullptr || link->state != LinkState::kOpen) {
    return kFail;
  }
  Bytes packet = Encode<Function>(link->nextSendId++, args...);
  PacketSending(&link->negotiation, &packet);
  const SendResult result = link->connection.Send(packet);
  if (result == SendResult::kSent) {
    return kOk;
  }
  if (ClosedWhileNegotiating(*link, result) && OpenAgain(link, Refusal::kClosed)) {
    return kOk;
  }
  MarkLost(link);
  return kFail;
}

// The quit record the link makes itself when the connection is lost: a bare
// header, the smallest record the splitter lets through.
static_assert(sizeof(SIMCONNECT_RECV) == wire::kMinRecordBytes, "a quit record is a header");
void DeliverQuit(DispatchProc dispatch, void* context, std::uint32_t protocol) {
  SIMCONNECT_RECV header;
  header.dwSize = sizeof header;
  header.dwVersion = protocol;
  header.dwID = SIMCONNECT_RECV_ID_QUIT;
  AlignedRecord quit;
  quit.Assign(reinterpret_cast<const std::uint8_t*>(&header), sizeof header);
  dispatch(static_cast<SIMCONNECT_RECV*>(quit.Data()), quit.Size(), context);
}

}  // namespace

extern "C" {

HRESULT SIMCONNECT_CALL SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd,
                                        DWORD UserEventWin32, HANDLE hEventHandle,
                                        DWORD ConfigIndex) {
  (void)hWnd;
  (void)UserEventWin32;
  (void)hEventHandle;
  if (phSimConnect == nullptr || theLink.state != LinkState::kClosed) {
    return kFail;
  }
  LinkSettings settings = LoadLinkSettings(ConfigIndex);
  std::string problem;
  const bool connected = settings.fromFile || !settings.usable
                             ? theLink.connection.Connect(settings, &problem)
                             : ConnectToLocalSimulator(&theLink.connection, &settings, &problem);
  if (!connected) {
    std::fprintf(stderr, "%s\n", problem.c_str());  // one line: what failed, and where
    return kFail;
  }
  theLink.splitter = RecordSplitter();
  theLink.nextSendId = kOpenSendId + 1;
  theLink.generation++;
  theLink.settings = settings;
  const Bytes open = StartNegotiation(&theLink.negotiation, szName);
  if (theLink.connection.Send(open, &problem) != SendResult::kSent) {
    std::fprintf(stderr, "send Open to %s: %s\n", theLink.connection.where().c_str(),
                 problem.c_str());
    theLink.connection.Close();
    EndNegotiation(&theLink.negotiation);
    return kFail;
  }
  theLink.state = LinkState::kOpen;
  *phSimConnect = &theLink;
  return kOk;
}

HRESULT SIMCONNECT_CALL SimConnect_Close(HANDLE hSimConnect) {
  Link* link = LinkOf(hSimConnect);
  if (link == nullptr) {
    return kFail;  // not ours, or already closed: nothing to do
  }
  link->connection.Close();
  link->splitter = RecordSplitter();
  link->state = LinkState::kClosed;
  EndNegotiation(&link->negotiation);
  return kOk;
}

HRESULT SIMCONNECT_CALL SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch,
                                                void* pContext) {
  Link* link = LinkOf(hSimConnect);
  if (link == nullptr || pfcnDispatch == nullptr || link->dispatching ||
      link->state == LinkState::kQuitDelivered) {
    return kFail;
  }
  // A connection that ends before its first record refused the Open.
  bool endedUnanswered = false;
  if (link->state == LinkState::kOpen) {
    link->arrived.clear();
    const bool open = link->connection.ReadAvailable(&link->arrived, kMaxReadPerDispatch);
    link->splitter.Append(link->arrived.data(), link->arrived.size());
    if (!open && AwaitingAnswer(link->negotiation)) {
      endedUnanswered = true;
    } else if (!open) {
      MarkLost(link);
    }
  }
  const std::uint32_t generation = link->generation;
  link->dispatching = true;
  AlignedRecord record;
  for (;;) {
    RecordSplitter::Status status = link->splitter.Next(&record);
    if (status == RecordSplitter::Status::kCorrupt) {
      // A corrupt stream is a lost link, answered or not: no second open.
      endedUnanswered = false;
      EndNegotiation(&link->negotiation);
      MarkLost(link);
    }
    if (status != RecordSplitter::Status::kRecord) {
      break;
    }
    const Arrival arrival = RecordArrived(&link->negotiation, record.Bytes(), record.Size());
    if (arrival == Arrival::kRefusal) {
      endedUnanswered = false;
      if (!OpenAgain(link, Refusal::kVersionMismatch)) {
        MarkLost(link);
      }
      break;
    }
    if (arrival == Arrival::kAnswer) {
      const std::string note = CameraNote(record.Bytes(), record.Size());
      if (!note.empty()) {
        std::fprintf(stderr, "%s\n", note.c_str());
      }
      if (endedUnanswered) {
        endedUnanswered = false;
        MarkLost(link);
      }
    }
    pfcnDispatch(static_cast<SIMCONNECT_RECV*>(record.Data()), record.Size(), pContext);
    if (link->state == LinkState::kClosed || link->generation != generation) {
      link->dispatching = false;
      return kOk;  // the procedure closed the connection
    }
  }
  if (endedUnanswered && !OpenAgain(link, Refusal::kClosed)) {
    MarkLost(link);
  }
  link->dispatching = false;
  if (link->state == LinkState::kLost) {
    link->state = LinkState::kQuitDelivered;
    DeliverQuit(pfcnDispatch, pContext, link->negotiation.protocol);
  }
  return kOk;
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddItem(HANDLE hSimConnect, const char* szMenuItem,
                                               SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                               DWORD dwData) {
  return SendCall<wire::kMenuAddItem>(hSimConnect, szMenuItem, MenuEventID, dwData);
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddSubItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                                  const char* szMenuItem,
                                                  SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID,
                                                  DWORD dwData) {
  return SendCall<wire::kMenuAddSubItem>(hSimConnect, MenuEventID, szMenuItem, SubMenuEventID,
                                         dwData);
}

HRESULT SIMCONNECT_CALL SimConnect_MenuDeleteItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID) {
  return SendCall<wire::kMenuDeleteItem>(hSimConnect, MenuEventID);
}

HRESULT SIMCONNECT_CALL
SimConnect_MenuDeleteSubItem(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                             const SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID) {
  return SendCall<wire::kMenuDeleteSubItem>(hSimConnect, MenuEventID, SubMenuEventID);
}

HRESULT SIMCONNECT_CALL SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect,
                                                            SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                            const char* EventName) {
  return SendCall<wire::kMapClientEventToSimEvent>(hSimConnect, EventID, EventName);
}

HRESULT SIMCONNECT_CALL SimConnect_MapInputEventToClientEvent(
    HANDLE hSimConnect, SIMCONNECT_INPUT_GROUP_ID GroupID, const char* szInputDefinition,
    SIMCONNECT_CLIENT_EVENT_ID DownEventID, DWORD DownValue, SIMCONNECT_CLIENT_EVENT_ID UpEventID,
    DWORD UpValue, BOOL bMaskable) {
  return SendCall<wire::kMapInputEventToClientEvent>(hSimConnect, GroupID, szInputDefinition,
                                                     DownEventID, DownValue, UpEventID, UpValue,
                                                     bMaskable ? 1u : 0u);
}

HRESULT SIMCONNECT_CALL SimConnect_AddClientEventToNotificationGroup(
    HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
    SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable) {
  return SendCall<wire::kAddClientEventToNotificationGroup>(hSimConnect, GroupID, EventID,
                                                            bMaskable ? 1u : 0u);
}

HRESULT SIMCONNECT_CALL SimConnect_SetInputGroupState(HANDLE hSimConnect,
                                                      SIMCONNECT_INPUT_GROUP_ID GroupID,
                                                      DWORD dwState) {
  return SendCall<wire::kSetInputGroupState>(hSimConnect, GroupID, dwState);
}

HRESULT SIMCONNECT_CALL SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect,
                                                          SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                          const char* SystemEventName) {
  return SendCall<wire::kSubscribeToSystemEvent>(hSimConnect, EventID, SystemEventName);
}

HRESULT SIMCONNECT_CALL SimConnect_AddToDataDefinition(HANDLE hSimConnect,
                                                       SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                       const char* DatumName, const char* UnitsName,
                                                       SIMCONNECT_DATATYPE DatumType,
                                                       float fEpsilon, DWORD DatumID) {
  return SendCall<wire::kAddToDataDefinition>(hSimConnect, DefineID, DatumName, UnitsName,
                                              DatumType, fEpsilon, DatumID);
}

HRESULT SIMCONNECT_CALL SimConnect_RequestDataOnSimObject(
    HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
    SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
    SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin, DWORD interval, DWORD limit) {
  return SendCall<wire::kRequestDataOnSimObject>(hSimConnect, RequestID, DefineID, ObjectID, Period,
                                                 Flags, origin, interval, limit);
}

HRESULT SIMCONNECT_CALL SimConnect_CameraSetRelative6DOF(HANDLE hSimConnect, float fDeltaX,
                                                         float fDeltaY, float fDeltaZ,
                                                         float fPitchDeg, float fBankDeg,
                                                         float fHeadingDeg) {
  return SendCall<wire::kCameraSetRelative6DOF>(hSimConnect, fDeltaX, fDeltaY, fDeltaZ, fPitchDeg,
                                                fBankDeg, fHeadingDeg);
}

}  // extern "C"
