// link/OBEXHelpers.h - OBEX packet layer: headers, requests, SETPATH walks, body transfers.
#pragma once
#include <windows.h>
#include <objidl.h>

#include "FolderEntry.h"
#include "IObexStream.h"
#include "ITransportLayer.h"

// Request opcodes (final bit set where OBEX wants it).
constexpr BYTE kObexConnect = 0x80;
constexpr BYTE kObexDisconnect = 0x81;
constexpr BYTE kObexPut = 0x02;
constexpr BYTE kObexPutFinal = 0x82;
constexpr BYTE kObexGet = 0x03;
constexpr BYTE kObexGetFinal = 0x83;
constexpr BYTE kObexSetPath = 0x85;
constexpr BYTE kObexAbort = 0xFF;

// Header identifiers; the top two bits give the class (0/1 counted, 2 byte, 3 four bytes).
constexpr BYTE kHdrName = 0x01;
constexpr BYTE kHdrType = 0x42;
constexpr BYTE kHdrTime = 0x44;
constexpr BYTE kHdrTarget = 0x46;
constexpr BYTE kHdrBody = 0x48;
constexpr BYTE kHdrEndOfBody = 0x49;
constexpr BYTE kHdrWho = 0x4A;
constexpr BYTE kHdrAppParams = 0x4C;
constexpr BYTE kHdrLength = 0xC3;
constexpr BYTE kHdrConnectionId = 0xCB;

// Response codes with the final bit.
constexpr BYTE kObexContinue = 0x90;
constexpr BYTE kObexOk = 0xA0;

// Success values that carry the response code.
constexpr HRESULT S_OBEX_CONTINUE = static_cast<HRESULT>(0x01048090L);
constexpr HRESULT S_OBEX_OK = static_cast<HRESULT>(0x010480A0L);

constexpr HRESULT E_OBEX_BAD_REQUEST = static_cast<HRESULT>(0x80043004L);
constexpr HRESULT E_OBEX_SERVICE_UNAVAILABLE = static_cast<HRESULT>(0x80043008L);
constexpr HRESULT E_OBEX_UNAUTHORIZED = static_cast<HRESULT>(0x8004300BL);
constexpr HRESULT E_OBEX_DATABASE_LOCKED = static_cast<HRESULT>(0x8004300DL);
// A path or header value the protocol cannot carry.
constexpr HRESULT E_OBEX_PATH_TOO_LONG = static_cast<HRESULT>(0x8007006FL);
// The module's listing text was empty.
constexpr HRESULT E_OBEX_EMPTY_LISTING = static_cast<HRESULT>(0x8007001AL);

constexpr DWORD kObexDefaultTimeoutMs = 40000;

// The machine-wide event that cancels the next request of every link.
constexpr char kDisconnectEventName[] = "DisconnectEvent_{E5623C30-BBA8-4faf-B3B7-E35FDB56F42E}";

// Tests on a shared machine point the cancel check at an event of their own.
void SetDisconnectEventNameForTesting(const char* name);

// The module's file-service target (target kind 0) and the other one.
extern const BYTE kObexFileTarget[16];
extern const char kObexSyncTarget[];  // "IRMC-SYNC", 9 bytes on the wire

// Three application parameters of Copy and Move: tags '4', '5', '6'.
struct ObexAppParamTriple {
  const char* verb;
  const wchar_t* first;
  const wchar_t* second;
};

// What a PUT sends: count bytes read from stream.
struct ObexSendSource {
  DWORD count;
  IStream* stream;
};

class IOBEXPhysical {
public:
  virtual ~IOBEXPhysical() = default;
  virtual HRESULT GetModel(char* model, size_t capacity) = 0;
  virtual HRESULT GetVolumeCount(WORD* count) = 0;
  virtual HRESULT AttachTransport(ITransportLayer* transport) = 0;
  virtual void BeginPacket() = 0;
  virtual HRESULT ReceiveToStream(IObexStream* sink, DWORD timeoutMs) = 0;
  virtual HRESULT ReceiveFolderListing(FolderEntry** entries) = 0;
  virtual HRESULT SendFromStream(const ObexSendSource& source, DWORD timeoutMs) = 0;
  // Looks for header id in the response, from *position when that is set (and
  // not the buffer start), else from the first header. Classes 0/1: *value =
  // value length, *position = the value; classes 2/3: *value = the number,
  // *position = behind the header. E_FAIL when absent or the packet is malformed.
  virtual HRESULT GetHeaderValue(BYTE id, BYTE** position, DWORD* value) = 0;
  virtual HRESULT Abort() = 0;
  virtual int GetPacketSpace() = 0;
  virtual HRESULT Connect(int* handle, int targetKind) = 0;
  virtual HRESULT Disconnect(int handle) = 0;
  virtual HRESULT OpenLink(const char* portName, int baud) = 0;
  virtual HRESULT CloseLink() = 0;
  virtual HRESULT Transact(BYTE opcode, DWORD timeoutMs) = 0;
  virtual HRESULT NavigateToPath(const wchar_t* path, BYTE opcode, bool enterLast) = 0;
  // The writers take, last, the opcode of a request that may be split over
  // packets (PUT or GET); a header that cannot be carried fails the request.
  virtual HRESULT AddConnectFields() = 0;
  virtual HRESULT AddNameHeader(const wchar_t* text, BYTE opcode) = 0;
  virtual HRESULT AddTypeHeader(const char* text, BYTE opcode) = 0;
  virtual HRESULT AddUInt32Header(BYTE id, DWORD value) = 0;
  virtual HRESULT AddTimeHeader(DATE time, BYTE opcode) = 0;
  virtual HRESULT AddTargetHeader(const BYTE* bytes, int count, BYTE opcode) = 0;
  virtual HRESULT AddAppParamByte(BYTE tag, BYTE value, BYTE opcode) = 0;
  virtual HRESULT AddAppParamTriple(const ObexAppParamTriple& triple, BYTE opcode) = 0;
  virtual HRESULT AddAppParamWide(BYTE tag, const wchar_t* text, BYTE opcode) = 0;
  virtual HRESULT AddAppParamNarrow(BYTE tag, const char* text, BYTE opcode) = 0;
};

HRESULT CreateObexPacketLayer(IOBEXPhysical** layer);
HRESULT ObexResponseToHResult(BYTE code);

// The 15-character Time header text of a DATE ("00000000T000000" for 0).
void FormatObexTime(DATE time, char text[16]);

// Finds tag in an Application Parameters value; *data/*length give its value.
bool FindAppParam(const BYTE* params, DWORD paramsLength, BYTE tag, const BYTE** data,
                  DWORD* length);
