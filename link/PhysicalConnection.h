// link/PhysicalConnection.h - the connection to one port and its worker thread.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "CriticalSection.h"
#include "ITransportLayer.h"
#include "OBEXCom.h"
#include "Ring.h"
#include "SuiteUtil.h"

class ObexConnection;
class Request;

unsigned __stdcall ConnectionWorkerThread(void* connection);

constexpr int kTransportSerial = 2;     // IrmcTransportTypes: the only one supported
constexpr DWORD kIdleCloseMs = 4000;    // the link is closed this long after the last request
constexpr UINT kMaxPortNameLength = 10;

// How a connection makes its OBEX object and transport; tests put fakes here.
struct LinkFactories {
  HRESULT (*createObex)(IObex2** obex);
  HRESULT (*createTransport)(ITransportLayer** transport, HANDLE port);
  bool openPort;  // false: no port handle is opened (the transport gets INVALID_HANDLE_VALUE)
};
// Null restores the real ones. Affects connections opened afterwards.
void SetLinkFactories(const LinkFactories* factories);

class CPhysicalConnection {
public:
  CPhysicalConnection();
  virtual ~CPhysicalConnection();
  CPhysicalConnection(const CPhysicalConnection&) = delete;
  CPhysicalConnection& operator=(const CPhysicalConnection&) = delete;

  HRESULT Open(int transportId);
  bool StartWorker();
  HRESULT Connect(int* connectionId, int targetKind);
  HRESULT Disconnect(int connectionId, bool closePort);
  bool IsConnected();
  ObexConnection* GetObex() { return m_obex; }
  HRESULT OpenPort();
  HRESULT ClosePort();
  HRESULT CreateTransport(int transportId, int linkKind);
  HRESULT OpenTransport(int linkKind);
  void Close();

  bool HasWorker() const { return m_thread != nullptr; }
  bool IsPortOpen();
  DWORD GetLastOpenError() const { return m_lastOpenError; }
  const char* GetPortName() const { return m_portName; }
  std::string GetModelText();
  HRESULT SetPort(const char* portName, int baud);

private:
  friend class Request;
  friend void SubmitRequest(Request* request);
  friend void RequeueRequest(Request* request);
  friend unsigned __stdcall ConnectionWorkerThread(void* connection);

  void RunWorker();
  void ExecuteOne(Request* request, bool* armIdleClose, DWORD* lastRequestTime);
  void FailQueued();

  Ring<Request> m_queue;
  HANDLE m_startEvent = nullptr;
  HANDLE m_queueSemaphore = nullptr;
  HANDLE m_thread = nullptr;
  unsigned m_threadId = 0;
  ObexConnection* m_obex = nullptr;
  ITransportLayer* m_transport = nullptr;
  HANDLE m_port = INVALID_HANDLE_VALUE;
  DWORD m_lastOpenError = 0;
  char m_portName[12] = {};
  int m_baud = -1;
  std::string m_model;
  int m_transportId = 0;
  CCriticalSection m_lock;  // re-entrant; guards all of the above and the queue
  bool m_closing = false;   // the close request is queued: nothing more is accepted
  LinkFactories m_factories;
};

// The connection for (transport, port), made and opened when missing. With
// closeOthers every other connection is destroyed first (one at a time); the
// port tool keeps them. A connection that could not be opened is not handed out.
HRESULT GetConnection(CPhysicalConnection** connection, int transportId, BSTR portName, int baud,
                      bool closeOthers = true);
HRESULT CloseAllConnections();
// Takes one connection out of the map and destroys it.
HRESULT RemoveConnection(CPhysicalConnection* connection);
