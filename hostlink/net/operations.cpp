// The SimConnect operations over TCP. One connection per process: the
// handle the open gives out points at it. Each operation sends one packet;
// CallDispatch cuts the bytes read into records and hands them over; a lost
// connection becomes one quit record of ours, after which every call fails.
#include <cstdio>
#include <string>

#include "hostlink/net/config.h"
#include "hostlink/net/connection.h"
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

// Encodes one packet with the next send id and sends it.
template <typename Encoder>
HRESULT SendPacket(HANDLE handle, Encoder encode) {
  Link* link = LinkOf(handle);
  if (link == nullptr || link->state != LinkState::kOpen) {
    return kFail;
  }
  const Bytes packet = encode(link->nextSendId++);
  if (!link->connection.Send(packet)) {
    MarkLost(link);
    return kFail;
  }
  return kOk;
}

// The quit record the link makes itself when the connection is lost: a bare
// header, the smallest record the splitter lets through.
static_assert(sizeof(SIMCONNECT_RECV) == wire::kMinRecordBytes, "a quit record is a header");
void DeliverQuit(DispatchProc dispatch, void* context) {
  SIMCONNECT_RECV header;
  header.dwSize = sizeof header;
  header.dwVersion = kProtocol;
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
  const LinkSettings settings = LoadLinkSettings(ConfigIndex);
  std::string problem;
  if (!theLink.connection.Connect(settings, &problem)) {
    std::fprintf(stderr, "%s\n", problem.c_str());  // one line: what failed, and where
    return kFail;
  }
  theLink.splitter = RecordSplitter();
  theLink.nextSendId = 1;
  theLink.generation++;
  if (!theLink.connection.Send(EncodeOpen(theLink.nextSendId++, szName), &problem)) {
    std::fprintf(stderr, "send Open to %s: %s\n", theLink.connection.where().c_str(),
                 problem.c_str());
    theLink.connection.Close();
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
  return kOk;
}

HRESULT SIMCONNECT_CALL SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch,
                                                void* pContext) {
  Link* link = LinkOf(hSimConnect);
  if (link == nullptr || pfcnDispatch == nullptr || link->dispatching ||
      link->state == LinkState::kQuitDelivered) {
    return kFail;
  }
  if (link->state == LinkState::kOpen) {
    link->arrived.clear();
    const bool open = link->connection.ReadAvailable(&link->arrived, kMaxReadPerDispatch);
    link->splitter.Append(link->arrived.data(), link->arrived.size());
    if (!open) {
      MarkLost(link);
    }
  }
  const std::uint32_t generation = link->generation;
  link->dispatching = true;
  AlignedRecord record;
  for (;;) {
    RecordSplitter::Status status = link->splitter.Next(&record);
    if (status == RecordSplitter::Status::kCorrupt) {
      MarkLost(link);
    }
    if (status != RecordSplitter::Status::kRecord) {
      break;
    }
    pfcnDispatch(static_cast<SIMCONNECT_RECV*>(record.Data()), record.Size(), pContext);
    if (link->state == LinkState::kClosed || link->generation != generation) {
      link->dispatching = false;
      return kOk;  // the procedure closed the connection
    }
  }
  link->dispatching = false;
  if (link->state == LinkState::kLost) {
    link->state = LinkState::kQuitDelivered;
    DeliverQuit(pfcnDispatch, pContext);
  }
  return kOk;
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddItem(HANDLE hSimConnect, const char* szMenuItem,
                                               SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                               DWORD dwData) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeMenuAddItem(id, szMenuItem, MenuEventID, dwData);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_MenuAddSubItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                                  const char* szMenuItem,
                                                  SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID,
                                                  DWORD dwData) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeMenuAddSubItem(id, MenuEventID, szMenuItem, SubMenuEventID, dwData);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_MenuDeleteItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID) {
  return SendPacket(hSimConnect,
                    [&](std::uint32_t id) { return EncodeMenuDeleteItem(id, MenuEventID); });
}

HRESULT SIMCONNECT_CALL
SimConnect_MenuDeleteSubItem(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                             const SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeMenuDeleteSubItem(id, MenuEventID, SubMenuEventID);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect,
                                                            SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                            const char* EventName) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeMapClientEventToSimEvent(id, EventID, EventName);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_MapInputEventToClientEvent(
    HANDLE hSimConnect, SIMCONNECT_INPUT_GROUP_ID GroupID, const char* szInputDefinition,
    SIMCONNECT_CLIENT_EVENT_ID DownEventID, DWORD DownValue, SIMCONNECT_CLIENT_EVENT_ID UpEventID,
    DWORD UpValue, BOOL bMaskable) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeMapInputEventToClientEvent(id, GroupID, szInputDefinition, DownEventID, DownValue,
                                            UpEventID, UpValue, bMaskable ? 1u : 0u);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_AddClientEventToNotificationGroup(
    HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
    SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeAddClientEventToNotificationGroup(id, GroupID, EventID, bMaskable ? 1u : 0u);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_SetInputGroupState(HANDLE hSimConnect,
                                                      SIMCONNECT_INPUT_GROUP_ID GroupID,
                                                      DWORD dwState) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeSetInputGroupState(id, GroupID, dwState);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect,
                                                          SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                          const char* SystemEventName) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeSubscribeToSystemEvent(id, EventID, SystemEventName);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_AddToDataDefinition(HANDLE hSimConnect,
                                                       SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                       const char* DatumName, const char* UnitsName,
                                                       SIMCONNECT_DATATYPE DatumType,
                                                       float fEpsilon, DWORD DatumID) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeAddToDataDefinition(id, DefineID, DatumName, UnitsName,
                                     static_cast<std::uint32_t>(DatumType), fEpsilon, DatumID);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_RequestDataOnSimObject(
    HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
    SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
    SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin, DWORD interval, DWORD limit) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeRequestDataOnSimObject(id, RequestID, DefineID, ObjectID,
                                        static_cast<std::uint32_t>(Period), Flags, origin, interval,
                                        limit);
  });
}

HRESULT SIMCONNECT_CALL SimConnect_CameraSetRelative6DOF(HANDLE hSimConnect, float fDeltaX,
                                                         float fDeltaY, float fDeltaZ,
                                                         float fPitchDeg, float fBankDeg,
                                                         float fHeadingDeg) {
  return SendPacket(hSimConnect, [&](std::uint32_t id) {
    return EncodeCameraSetRelative6DOF(id, fDeltaX, fDeltaY, fDeltaZ, fPitchDeg, fBankDeg,
                                       fHeadingDeg);
  });
}

}  // extern "C"
