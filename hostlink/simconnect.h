// The part of the SimConnect client API that Vantilo uses, declared under the
// host's own names with the host's ABI: C linkage, __stdcall on 32-bit
// Windows, records packed to 1 byte and derived from SIMCONNECT_RECV.
// Whatever stands behind these declarations (SimConnect.dll, the TCP host
// link, the test fake) is chosen at link time.
#ifndef VANTILO_HOSTLINK_SIMCONNECT_H
#define VANTILO_HOSTLINK_SIMCONNECT_H

#include <cstddef>
#include <cstdint>

#if defined(VANTILO_VENDOR_SDK)
// Built against the vendor's SDK: its header, which needs the Windows types
// declared first, gives all of the below; its default arguments go unused.
// clang-format off
#include <windows.h>
#include <SimConnect.h>
// clang-format on
#define SIMCONNECT_CALL CALLBACK
#else

#if defined(_WIN32)
#include <windows.h>
#else
// The Windows types with their Windows widths; DWORD is 32 bits everywhere.
typedef std::uint32_t DWORD;
typedef std::int32_t HRESULT;
typedef std::int32_t BOOL;
typedef void* HANDLE;
typedef void* HWND;
typedef const char* LPCSTR;
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define SIMCONNECT_CALL __stdcall
#else
#define SIMCONNECT_CALL
#endif

typedef DWORD SIMCONNECT_OBJECT_ID;
typedef DWORD SIMCONNECT_NOTIFICATION_GROUP_ID;
typedef DWORD SIMCONNECT_INPUT_GROUP_ID;
typedef DWORD SIMCONNECT_DATA_DEFINITION_ID;
typedef DWORD SIMCONNECT_DATA_REQUEST_ID;
typedef DWORD SIMCONNECT_CLIENT_EVENT_ID;
typedef DWORD SIMCONNECT_DATA_REQUEST_FLAG;

static const DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
static const DWORD SIMCONNECT_OBJECT_ID_USER = 0;
static const DWORD SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_2D = 0x1;
static const DWORD SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_VIRTUAL = 0x2;
static const DWORD SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_ORTHOGONAL = 0x4;

enum SIMCONNECT_RECV_ID {
  SIMCONNECT_RECV_ID_NULL = 0,
  SIMCONNECT_RECV_ID_EXCEPTION = 1,
  SIMCONNECT_RECV_ID_OPEN = 2,
  SIMCONNECT_RECV_ID_QUIT = 3,
  SIMCONNECT_RECV_ID_EVENT = 4,
  SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
  SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
  SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9
};

enum SIMCONNECT_DATATYPE {
  SIMCONNECT_DATATYPE_INVALID = 0,
  SIMCONNECT_DATATYPE_INT32 = 1,
  SIMCONNECT_DATATYPE_INT64 = 2,
  SIMCONNECT_DATATYPE_FLOAT32 = 3,
  SIMCONNECT_DATATYPE_FLOAT64 = 4
};

enum SIMCONNECT_PERIOD {
  SIMCONNECT_PERIOD_NEVER = 0,
  SIMCONNECT_PERIOD_ONCE = 1,
  SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
  SIMCONNECT_PERIOD_SIM_FRAME = 3,
  SIMCONNECT_PERIOD_SECOND = 4
};

enum SIMCONNECT_STATE { SIMCONNECT_STATE_OFF = 0, SIMCONNECT_STATE_ON = 1 };

enum SIMCONNECT_EXCEPTION {
  SIMCONNECT_EXCEPTION_NONE = 0,
  SIMCONNECT_EXCEPTION_ERROR = 1,
  SIMCONNECT_EXCEPTION_SIZE_MISMATCH = 2,
  SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
  SIMCONNECT_EXCEPTION_UNOPENED = 4,
  SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
  SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED = 7,
  SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE = 9,
  SIMCONNECT_EXCEPTION_DUPLICATE_ID = 29
};

#pragma pack(push, 1)

struct SIMCONNECT_RECV {
  DWORD dwSize;     // whole record in bytes
  DWORD dwVersion;  // protocol number of the connection
  DWORD dwID;       // SIMCONNECT_RECV_ID
};

struct SIMCONNECT_RECV_EXCEPTION : public SIMCONNECT_RECV {
  DWORD dwException;  // SIMCONNECT_EXCEPTION
  DWORD dwSendID;     // send id of the packet that caused it
  DWORD dwIndex;      // index of the offending argument
};

struct SIMCONNECT_RECV_OPEN : public SIMCONNECT_RECV {
  char szApplicationName[256];
  DWORD dwApplicationVersionMajor;
  DWORD dwApplicationVersionMinor;
  DWORD dwApplicationBuildMajor;
  DWORD dwApplicationBuildMinor;
  DWORD dwSimConnectVersionMajor;
  DWORD dwSimConnectVersionMinor;
  DWORD dwSimConnectBuildMajor;
  DWORD dwSimConnectBuildMinor;
  DWORD dwReserved1;
  DWORD dwReserved2;
};

struct SIMCONNECT_RECV_QUIT : public SIMCONNECT_RECV {};

struct SIMCONNECT_RECV_EVENT : public SIMCONNECT_RECV {
  DWORD uGroupID;
  DWORD uEventID;
  DWORD dwData;
};

struct SIMCONNECT_RECV_EVENT_FRAME : public SIMCONNECT_RECV_EVENT {
  float fFrameRate;
  float fSimSpeed;
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA : public SIMCONNECT_RECV {
  DWORD dwRequestID;
  DWORD dwObjectID;
  DWORD dwDefineID;
  DWORD dwFlags;
  DWORD dwentrynumber;
  DWORD dwoutof;
  DWORD dwDefineCount;
  DWORD dwData;  // first 4 bytes of the data block, which runs to dwSize
};

#pragma pack(pop)

typedef void(SIMCONNECT_CALL* DispatchProc)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// What the program relies on from each operation. Each request (every call
// but Open, Close and CallDispatch) sends one packet, in call order, and
// returns without waiting for an answer: 0 when the packet is on its way,
// negative when the link is closed or lost. A host that rejects a request
// says so later, through dispatch, in an EXCEPTION record with the request's
// send id; the program prints it and carries on.
extern "C" {
// Connects (ConfigIndex picks SimConnect.cfg's section) and sends the Open;
// negative, with nothing to close, when no host can be reached. The OPEN
// record follows through dispatch, or a QUIT record when the host turns the
// Open down or the link is lost first.
HRESULT SIMCONNECT_CALL SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd,
                                        DWORD UserEventWin32, HANDLE hEventHandle,
                                        DWORD ConfigIndex);
// Ends the connection: nothing is delivered after it, even in the dispatch
// it is called from, and the handle is spent (a second Close fails).
HRESULT SIMCONNECT_CALL SimConnect_Close(HANDLE hSimConnect);
// Calls pfcnDispatch on this thread for each whole record received, in
// order, with cbData its size, then returns without waiting for more; a
// record is valid only during its call. A lost connection comes as one QUIT
// record, after which every call but Close fails.
HRESULT SIMCONNECT_CALL SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch,
                                                void* pContext);
// Adds szMenuItem to the add-ons menu; its sub-items name it by MenuEventID.
HRESULT SIMCONNECT_CALL SimConnect_MenuAddItem(HANDLE hSimConnect, const char* szMenuItem,
                                               SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                               DWORD dwData);
// Adds a sub-item; choosing it delivers an event record with SubMenuEventID.
HRESULT SIMCONNECT_CALL SimConnect_MenuAddSubItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                                  const char* szMenuItem,
                                                  SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID,
                                                  DWORD dwData);
// Takes the item, with any sub-items still under it, off the menu.
HRESULT SIMCONNECT_CALL SimConnect_MenuDeleteItem(HANDLE hSimConnect,
                                                  SIMCONNECT_CLIENT_EVENT_ID MenuEventID);
// Takes one sub-item off the menu; its item and the other sub-items stay.
HRESULT SIMCONNECT_CALL
SimConnect_MenuDeleteSubItem(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                             const SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID);
// Maps a client event to a sim event; "" makes the event private.
HRESULT SIMCONNECT_CALL SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect,
                                                            SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                            const char* EventName);
// The input raises DownEventID in the input group.
HRESULT SIMCONNECT_CALL SimConnect_MapInputEventToClientEvent(
    HANDLE hSimConnect, SIMCONNECT_INPUT_GROUP_ID GroupID, const char* szInputDefinition,
    SIMCONNECT_CLIENT_EVENT_ID DownEventID, DWORD DownValue, SIMCONNECT_CLIENT_EVENT_ID UpEventID,
    DWORD UpValue, BOOL bMaskable);
// The group's events arrive as event records.
HRESULT SIMCONNECT_CALL SimConnect_AddClientEventToNotificationGroup(
    HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
    SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable);
// SIMCONNECT_STATE_ON lets the group's mapped inputs raise their events; a
// group is off until then.
HRESULT SIMCONNECT_CALL SimConnect_SetInputGroupState(HANDLE hSimConnect,
                                                      SIMCONNECT_INPUT_GROUP_ID GroupID,
                                                      DWORD dwState);
// "View" brings the view kind in dwData; "1sec" comes once a second.
HRESULT SIMCONNECT_CALL SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect,
                                                          SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                          const char* SystemEventName);
// Adds a datum; the data block holds the datums in the order added.
HRESULT SIMCONNECT_CALL SimConnect_AddToDataDefinition(HANDLE hSimConnect,
                                                       SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                       const char* DatumName, const char* UnitsName,
                                                       SIMCONNECT_DATATYPE DatumType,
                                                       float fEpsilon, DWORD DatumID);
// Data records for the object, one per period.
HRESULT SIMCONNECT_CALL SimConnect_RequestDataOnSimObject(
    HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
    SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
    SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin, DWORD interval, DWORD limit);
// Puts the cockpit camera at this offset (metres) and pitch, bank and heading
// (degrees) from its eye point, replacing the last call's; no answer. A
// simulator may take it and leave the view where it is.
HRESULT SIMCONNECT_CALL SimConnect_CameraSetRelative6DOF(HANDLE hSimConnect, float fDeltaX,
                                                         float fDeltaY, float fDeltaZ,
                                                         float fPitchDeg, float fBankDeg,
                                                         float fHeadingDeg);
}

#endif  // VANTILO_VENDOR_SDK

// The published layout, pinned: a host link and the program read these fields
// at these offsets. offsetof on derived records is supported by every
// compiler we use; GCC only warns that the standard does not promise it.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(sizeof(DWORD) == 4, "DWORD is 32 bits");
static_assert(sizeof(BOOL) == 4, "BOOL is 32 bits");
static_assert(sizeof(HRESULT) == 4, "HRESULT is 32 bits");
static_assert(sizeof(SIMCONNECT_PERIOD) == 4 && sizeof(SIMCONNECT_DATATYPE) == 4,
              "enums are 32 bits");
static_assert(sizeof(SIMCONNECT_RECV) == 12, "RECV size");
static_assert(offsetof(SIMCONNECT_RECV, dwSize) == 0, "RECV.dwSize");
static_assert(offsetof(SIMCONNECT_RECV, dwVersion) == 4, "RECV.dwVersion");
static_assert(offsetof(SIMCONNECT_RECV, dwID) == 8, "RECV.dwID");
static_assert(sizeof(SIMCONNECT_RECV_EXCEPTION) == 24, "EXCEPTION size");
static_assert(offsetof(SIMCONNECT_RECV_EXCEPTION, dwException) == 12, "EXCEPTION.dwException");
static_assert(offsetof(SIMCONNECT_RECV_EXCEPTION, dwSendID) == 16, "EXCEPTION.dwSendID");
static_assert(offsetof(SIMCONNECT_RECV_EXCEPTION, dwIndex) == 20, "EXCEPTION.dwIndex");
static_assert(sizeof(SIMCONNECT_RECV_OPEN) == 308, "OPEN size");
static_assert(offsetof(SIMCONNECT_RECV_OPEN, szApplicationName) == 12, "OPEN.szApplicationName");
static_assert(offsetof(SIMCONNECT_RECV_OPEN, dwApplicationVersionMajor) == 268,
              "OPEN.dwApplicationVersionMajor");
static_assert(offsetof(SIMCONNECT_RECV_OPEN, dwApplicationVersionMinor) == 272,
              "OPEN.dwApplicationVersionMinor");
static_assert(offsetof(SIMCONNECT_RECV_OPEN, dwApplicationBuildMajor) == 276,
              "OPEN.dwApplicationBuildMajor");
static_assert(offsetof(SIMCONNECT_RECV_OPEN, dwSimConnectVersionMajor) == 284,
              "OPEN.dwSimConnectVersionMajor");
static_assert(offsetof(SIMCONNECT_RECV_OPEN, dwSimConnectBuildMajor) == 292,
              "OPEN.dwSimConnectBuildMajor");
static_assert(offsetof(SIMCONNECT_RECV_OPEN, dwReserved2) == 304, "OPEN.dwReserved2");
static_assert(sizeof(SIMCONNECT_RECV_QUIT) == 12, "QUIT size");
static_assert(sizeof(SIMCONNECT_RECV_EVENT) == 24, "EVENT size");
static_assert(offsetof(SIMCONNECT_RECV_EVENT, uGroupID) == 12, "EVENT.uGroupID");
static_assert(offsetof(SIMCONNECT_RECV_EVENT, uEventID) == 16, "EVENT.uEventID");
static_assert(offsetof(SIMCONNECT_RECV_EVENT, dwData) == 20, "EVENT.dwData");
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FRAME) == 32, "EVENT_FRAME size");
static_assert(offsetof(SIMCONNECT_RECV_EVENT_FRAME, fFrameRate) == 24, "EVENT_FRAME.fFrameRate");
static_assert(offsetof(SIMCONNECT_RECV_EVENT_FRAME, fSimSpeed) == 28, "EVENT_FRAME.fSimSpeed");
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == 44, "SIMOBJECT_DATA size");
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwRequestID) == 12,
              "SIMOBJECT_DATA.dwRequestID");
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwObjectID) == 16,
              "SIMOBJECT_DATA.dwObjectID");
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwDefineID) == 20,
              "SIMOBJECT_DATA.dwDefineID");
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwDefineCount) == 36,
              "SIMOBJECT_DATA.dwDefineCount");
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwData) == 40, "SIMOBJECT_DATA.dwData");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#endif
