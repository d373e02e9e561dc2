// link/Request.h - one module operation queued on a connection, and the queue rules.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <objidl.h>

#include "CriticalSection.h"
#include "FolderEntry.h"
#include "IObexStream.h"
#include "OBEXCom.h"
#include "Ring.h"
#include "SuiteString.h"
#include "SuiteUtil.h"

class CPhysicalConnection;

enum RequestType {
  kRequestCopy = 0,
  kRequestCreateStdDirs = 1,
  kRequestCreateDir = 2,
  kRequestDelete = 3,
  kRequestFormat = 4,
  kRequestGetCapacity = 5,
  kRequestGetEntries = 6,
  kRequestGetFile = 7,
  kRequestGetLabel = 8,
  kRequestHasSubDirs = 9,
  kRequestMove = 10,
  kRequestMoveDir = 11,
  kRequestPutFile = 12,
  kRequestRemoveDir = 13,
  kRequestSetAttributes = 14,
  kRequestSetLabel = 15,
  kRequestSetTime = 16,
  kRequestGetMobileModel = 17,
  kRequestClose = 18,
};

// A download pauses for an ordinary request only while more than this is still to come.
constexpr ULONGLONG kPauseMargin = 32780;

// The buffer a GetFile request fills and a client's stream reads (the server's
// download buffer implements it). The request calls it only while holding
// GetTransferLock() and only while its cancel flag is clear; the buffer's
// owner, when its last stream goes, sets that flag under the same lock (unless
// Complete has been called) and may then free the buffer.
class IInputSource {
public:
  virtual HRESULT SetFileInfo(STATSTG* info) = 0;  // takes the record and its name
  // Appends one block; E_UNEXPECTED past the announced size. No pause test here:
  // the request decides that from GetProgress and its queue.
  virtual HRESULT AppendData(const BYTE* data, DWORD length) = 0;
  virtual void SetError(HRESULT failure) = 0;     // success codes are ignored
  virtual void Complete() = 0;                    // end of transfer; forget the cancel flag
  virtual void GetProgress(ULONGLONG* size, ULONGLONG* received) = 0;  // size 0: unknown
  // Announced size, bytes received and CRC-16 (seed 0) over them.
  virtual void GetResumePoint(ULONGLONG* size, ULONGLONG* received, WORD* crc) = 0;

protected:
  ~IInputSource() = default;
};

// The process-wide lock of the download buffers.
CCriticalSection& GetTransferLock();

// Where the handlers send shell change notifications; the server installs one.
class IRequestNotifier {
public:
  virtual void NotifyPath(int connectionId, LONG event, const CBstr& path, short volumeCount,
                          IObex2* obex) = 0;
  virtual void NotifyRoot(LONG event) = 0;
  virtual void NotifyRename(LONG event, const CBstr& from, const CBstr& to,
                            short volumeCount) = 0;

protected:
  ~IRequestNotifier() = default;
};
void SetRequestNotifier(IRequestNotifier* notifier);  // null: none

// Turns a finished request's result into the calling thread's error
// information and gives the code to return. The default returns it unchanged.
using RequestErrorReporter = HRESULT (*)(HRESULT result);
void SetRequestErrorReporter(RequestErrorReporter reporter);  // null: the default

class Request : public Ring<Request>, public IObexStream {
public:
  Request(CPhysicalConnection* connection, int type, short volumeCount, int connectionId);
  virtual ~Request();
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  void SetPath(const CBstr& newPath) { path = newPath; }
  HRESULT Write(const BYTE* data, DWORD length) override;
  bool IsOrdinaryRequestQueued();
  bool IsStreaming() const;
  HRESULT GetResult() const { return m_result; }
  void SetResult(HRESULT result) { m_result = result; }

  // Buffer calls under the transfer lock; E_TRANSFER_CANCELLED once the client let go.
  HRESULT BufferSetFileInfo(STATSTG* info);
  void BufferSetError(HRESULT failure);
  void BufferComplete();
  HRESULT BufferGetResumePoint(ULONGLONG* size, ULONGLONG* received, WORD* crc);
  // A PutFile stream that will not be sent is unmarshalled and released.
  void DropMarshalledStream();

  IObex2* obex;
  CPhysicalConnection* connection;
  short volumeCount;
  HANDLE done;
  int type;
  bool requeue = false;
  CBstr text;
  CBstr path;
  CBstr path2;
  VARIANT_BOOL limitToDirectories = VARIANT_FALSE;
  VARIANT* entries = nullptr;
  LONG* total = nullptr;
  LONG* free = nullptr;
  IInputSource* buffer = nullptr;
  int cancelled = 0;
  CBstr label;
  VARIANT_BOOL* hasSubDirs = nullptr;
  IStream* marshalledStream = nullptr;
  IUnknown* content = nullptr;
  LONG attributes = 0;
  DATE created = 0, accessed = 0, written = 0;
  int connectionId;

private:
  HRESULT m_result = S_OK;
};

void SubmitRequest(Request* request);
void RequeueRequest(Request* request);
void WaitForRequest(Request* request);
HRESULT FinishRequest(Request* request);
HRESULT ExecuteRequest(Request* request);
void DispatchRequest(Request* request);
// Rows of entries in the layout of the GetEntries result; null on failure
// (the request's result says why).
SAFEARRAY* BuildEntriesArray(Request* request, FolderEntry* entries);
// Completes a request that will not run: a GetFile's buffer gets the failure
// and the request is freed; any other request gets the result and its event.
void FailRequest(Request* request, HRESULT failure);
